# Debian packages of the three components: bzykolot2 (the game),
# bzykolot2-scores (the score server as a service) and bzykolot2-data (the
# packs both need: the game plays with them, the server checks recordings
# against them).
#   cmake -S . -B build -DCMAKE_INSTALL_PREFIX=/usr && cmake --build build
#   cd build && cpack -G DEB
# Needs install.cmake first (versions, paths, the component files).
set(CPACK_PACKAGE_NAME bzykolot2)
set(CPACK_PACKAGE_VERSION ${BZK_VERSION})
set(CPACK_PACKAGE_VENDOR "The Bzykolot 2 developers")
set(CPACK_PACKAGE_CONTACT "The Bzykolot 2 developers <maintainers@users.noreply.c-seed-dbfd043c.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${BZK_HOMEPAGE})
set(CPACK_GENERATOR DEB)
# Install with the real prefix into the staging root, so that the files
# outside the prefix (/etc/default) land in the package and not on this machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_COMPONENTS_ALL game scores data)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE ${BZK_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SOURCE bzykolot2)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# The packs of the very same build: a recording names its pack by digest.
set(BZK_DATA_DEPENDS "bzykolot2-data (= ${BZK_VERSION}-${BZK_DEB_RELEASE})")

set(CPACK_DEBIAN_GAME_PACKAGE_NAME bzykolot2)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS ${BZK_DATA_DEPENDS})
# Built for the default loopback server, the game wants the server beside it.
set(CPACK_DEBIAN_GAME_PACKAGE_SUGGESTS bzykolot2-scores)
set(CPACK_COMPONENT_GAME_DESCRIPTION "arcade game: blast the flies that swarm your mouse cursor
Flies swarm in from the edges of the screen and chase the mouse cursor. The
player blasts them with a click explosion and with six weapons that dead
flies drop: a bomb, a wall of flame, an airstrike, falling concrete, a rain
of meteors and a spreading kill field. A fly that reaches the cursor stings
it; six stings end the round.
.
The score, flies beaten and time survived, is signed and sent to a score
table on the group's server (see the bzykolot2-scores package). The package
also holds pkf, the tool that makes and inspects the game's resource packs.")

set(CPACK_DEBIAN_SCORES_PACKAGE_NAME bzykolot2-scores)
set(CPACK_DEBIAN_SCORES_PACKAGE_SECTION games)
# deb-systemd-helper and deb-systemd-invoke for the maintainer scripts.
set(CPACK_DEBIAN_SCORES_PACKAGE_DEPENDS "init-system-helpers (>= 1.52), ${BZK_DATA_DEPENDS}")
set(CPACK_COMPONENT_SCORES_DESCRIPTION "score server for the Bzykolot 2 arcade game
Keeps the scores that a group's bzykolot2 games post, checks their
signatures, plays every round's recording again with the game's own rules
before it lists its score, and serves the table of the ten best rounds by
flies and by time over plain HTTP, as text for the game and as a web page
where each round can be downloaded and watched. The scores are kept in an
SQLite file or a PostgreSQL database that several servers share.
.
It runs as the systemd service bzykolot2-scores, under a user made for each
run, with its database in /var/lib/bzykolot2-scores; the listen address is
set in /etc/default/bzykolot2-scores.")
file(WRITE ${BZK_OUT}/conffiles "${BZK_ENV_FILE}\n")
set(CPACK_DEBIAN_SCORES_PACKAGE_CONTROL_EXTRA
    ${BZK_OUT}/conffiles
    ${BZK_PKG}/debian-scores/postinst
    ${BZK_PKG}/debian-scores/prerm
    ${BZK_PKG}/debian-scores/postrm)

set(CPACK_DEBIAN_DATA_PACKAGE_NAME bzykolot2-data)
set(CPACK_DEBIAN_DATA_PACKAGE_SECTION games)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_COMPONENT_DATA_DESCRIPTION "graphics and sounds of the Bzykolot 2 arcade game
The two resource packs of bzykolot2: every sprite with its animations, the
fonts and the sound effects. The game plays with them, and the score server
(bzykolot2-scores) plays the rounds it is sent again with the rules they
hold, so both depend on the packs of the same version.")

include(CPack)

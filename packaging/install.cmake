# What `cmake --install` puts where, in three components: "game" (the game, its
# launcher, desktop entry, icons, metadata, manuals, the pack tool and the
# checker), "data" (the two packs, which the game plays with and the score
# server checks recordings against) and "scores" (the score server and its
# service). Relocatable: the launcher
# finds the game and the packs relative to itself, so any --prefix and DESTDIR
# work, and an unpacked package runs from wherever it was unpacked.
include(GNUInstallDirs)

# The version comes from the newest entry of the Debian changelog, as in any
# Debian package: a release is a new entry there.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog BZK_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT BZK_CHANGELOG_TOP MATCHES "^bzykolot2 \\(([0-9.]+)-([0-9]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: no version in '${BZK_CHANGELOG_TOP}'")
endif()
set(BZK_VERSION ${CMAKE_MATCH_1})
set(BZK_DEB_RELEASE ${CMAKE_MATCH_2})
# Where the AppStream metadata points players to, and where it finds the
# screenshot (HOMEPAGE/screenshots/round.png is docs/round.png).
set(BZK_HOMEPAGE "https://bzykolot2.example.org" CACHE STRING "The game's web page")
# Its AppStream id: the home page's domain, reversed.
set(BZK_APP_ID "org.example.bzykolot2" CACHE STRING "The game's AppStream component id")

set(BZK_PKG ${CMAKE_CURRENT_LIST_DIR})
set(BZK_OUT ${CMAKE_BINARY_DIR}/packaging)

# Debian's places for a game: the launcher (and pkf) in games/, the packs in
# share/games/NAME/, the program itself in lib/games/NAME/. Deliberately not
# LIBDIR, which is multiarch on Debian (lib/x86_64-linux-gnu) and holds
# libraries, not programs.
set(BZK_GAMES_DIR games)
set(BZK_GAME_DIR lib/games/bzykolot2)
set(BZK_PACK_DIR ${CMAKE_INSTALL_DATADIR}/games/bzykolot2/data)
file(RELATIVE_PATH BZK_GAME_FROM_LAUNCHER ${CMAKE_INSTALL_PREFIX}/${BZK_GAMES_DIR}
     ${CMAKE_INSTALL_PREFIX}/${BZK_GAME_DIR}/bzykolot2)
file(RELATIVE_PATH BZK_PACKS_FROM_LAUNCHER ${CMAKE_INSTALL_PREFIX}/${BZK_GAMES_DIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/games/bzykolot2/data)

# The service's files name absolute paths: they hold for the configured prefix.
set(BZK_SERVER_BIN ${CMAKE_INSTALL_FULL_SBINDIR}/bzykolot2-scores)
set(BZK_ENV_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default/bzykolot2-scores)
set(BZK_PACKS_DIR ${CMAKE_INSTALL_FULL_DATADIR}/games/bzykolot2/data)

configure_file(${BZK_PKG}/bzykolot2.sh.in ${BZK_OUT}/bzykolot2 @ONLY)
configure_file(${BZK_PKG}/bzykolot2-scores.service.in ${BZK_OUT}/bzykolot2-scores.service @ONLY)
configure_file(${BZK_PKG}/bzykolot2.metainfo.xml.in ${BZK_OUT}/${BZK_APP_ID}.metainfo.xml @ONLY)
configure_file(${BZK_PKG}/bzykolot2.6.in ${BZK_OUT}/bzykolot2.6 @ONLY)
configure_file(${BZK_PKG}/bzykolot2-replay.1.in ${BZK_OUT}/bzykolot2-replay.1 @ONLY)
configure_file(${BZK_PKG}/bzykolot2-scores.8.in ${BZK_OUT}/bzykolot2-scores.8 @ONLY)

# Manuals and the Debian changelog go compressed, with no time stamp inside.
set(BZK_GZIPPED)
foreach(src ${BZK_OUT}/bzykolot2.6 ${BZK_OUT}/bzykolot2-scores.8 ${BZK_PKG}/pkf.1 ${BZK_OUT}/bzykolot2-replay.1
            ${BZK_PKG}/changelog)
  get_filename_component(name ${src} NAME)
  if(name STREQUAL changelog)
    set(name changelog.Debian)
  endif()
  add_custom_command(OUTPUT ${BZK_OUT}/${name}.gz
    COMMAND gzip -9nc ${src} > ${BZK_OUT}/${name}.gz
    DEPENDS ${src})
  list(APPEND BZK_GZIPPED ${BZK_OUT}/${name}.gz)
endforeach()

# The desktop icon at every size the menus ask for, drawn by the generator.
set(BZK_ICON_SIZES 16 32 48 64 128 256)
set(BZK_ICON_SVG ${CMAKE_SOURCE_DIR}/assets/bzykolot2.svg)
set(BZK_ICONS)
foreach(size ${BZK_ICON_SIZES})
  set(png ${BZK_OUT}/icons/${size}x${size}/apps/bzykolot2.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BZK_OUT}/icons/${size}x${size}/apps
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:bzkgen> --icon ${BZK_ICON_SVG} ${size} ${png}
    DEPENDS bzkgen ${BZK_ICON_SVG}
    VERBATIM)
  list(APPEND BZK_ICONS ${png})
endforeach()
add_custom_target(package_files ALL DEPENDS ${BZK_GZIPPED} ${BZK_ICONS})

# ---- The game ----------------------------------------------------------------
install(TARGETS bzykolot2 RUNTIME DESTINATION ${BZK_GAME_DIR} COMPONENT game)
install(FILES ${BZK_EN_MO} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/en/LC_MESSAGES COMPONENT game)
install(FILES ${RUN_DIR}/data/gfx.pkf ${RUN_DIR}/data/sfx.pkf
        DESTINATION ${BZK_PACK_DIR} COMPONENT data)
install(FILES ${BZK_PKG}/copyright ${BZK_OUT}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/bzykolot2-data COMPONENT data)
install(PROGRAMS ${BZK_OUT}/bzykolot2 DESTINATION ${BZK_GAMES_DIR} COMPONENT game)
install(TARGETS pkf bzykolot2-replay RUNTIME DESTINATION ${BZK_GAMES_DIR} COMPONENT game)
install(FILES ${BZK_PKG}/bzykolot2.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)
install(FILES ${BZK_OUT}/${BZK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)
install(DIRECTORY ${BZK_OUT}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        COMPONENT game)
install(FILES ${BZK_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        COMPONENT game)
install(FILES ${BZK_OUT}/bzykolot2.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES ${BZK_OUT}/pkf.1.gz ${BZK_OUT}/bzykolot2-replay.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT game)
install(FILES ${BZK_PKG}/copyright ${BZK_OUT}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/bzykolot2 COMPONENT game)

# ---- The score server ----------------------------------------------------------
install(TARGETS bzykolot2-scores RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT scores)
install(FILES ${BZK_OUT}/bzykolot2-scores.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8
        COMPONENT scores)
install(FILES ${BZK_OUT}/bzykolot2-scores.service DESTINATION lib/systemd/system
        COMPONENT scores)
install(FILES ${BZK_PKG}/copyright ${BZK_OUT}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/bzykolot2-scores COMPONENT scores)
# The environment file's folder follows GNUInstallDirs for the prefix given at
# install time (/usr puts it in /etc), so `cmake --install --prefix DIR` keeps
# everything inside DIR.
install(CODE "set(BZK_ENV_SRC \"${BZK_PKG}/bzykolot2-scores.default\")
              set(BZK_SYSCONFDIR \"${CMAKE_INSTALL_SYSCONFDIR}\")" COMPONENT scores)
install(CODE [[
  if(IS_ABSOLUTE "${BZK_SYSCONFDIR}")
    set(etc "${BZK_SYSCONFDIR}")
  elseif(CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
    set(etc "/${BZK_SYSCONFDIR}")
  elseif(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
    set(etc "/${BZK_SYSCONFDIR}${CMAKE_INSTALL_PREFIX}")
  else()
    set(etc "${CMAKE_INSTALL_PREFIX}/${BZK_SYSCONFDIR}")
  endif()
  # It may hold the database's password: root's alone (systemd reads it as root).
  file(INSTALL "${BZK_ENV_SRC}" DESTINATION "${etc}/default" RENAME bzykolot2-scores
       PERMISSIONS OWNER_READ OWNER_WRITE)
]] COMPONENT scores)
# Lintian expects 0644 in /etc; this file is kept private on purpose.
install(FILES ${BZK_PKG}/bzykolot2-scores.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME bzykolot2-scores COMPONENT scores)

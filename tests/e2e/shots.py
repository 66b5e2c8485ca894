# gdb runs the game with this: at the end of each round frame SHOTS names
# (roundTicks, while gameState is StatePlay) the game stands still while the
# screen is shot into SHOT_PREFIX-N.png; the game's exit code goes to
# SHOT_PREFIX.exit. Nothing is stopped otherwise.
import os
import subprocess

import gdb


class Shot(gdb.Breakpoint):
    def __init__(self, where, frames, shot_prefix):
        super().__init__(where)
        self.frames, self.shot_prefix = frames, shot_prefix

    def stop(self):
        n = int(gdb.parse_and_eval("roundTicks"))
        if n in self.frames and int(gdb.parse_and_eval("(int)gameState")) == 1:
            subprocess.run(["import", "-window", "root", "-display", os.environ["DISPLAY"],
                            "%s-%d.png" % (self.shot_prefix, n)], timeout=20)
            self.frames.discard(n)
            self.enabled = bool(self.frames)
        return False


gdb.execute("set pagination off")
gdb.execute("set confirm off")
Shot("paceFrame", {int(n) for n in os.environ["SHOTS"].split()}, os.environ["SHOT_PREFIX"])
gdb.execute("run")
with open(os.environ["SHOT_PREFIX"] + ".exit", "w") as f:
    f.write("%s\n" % gdb.parse_and_eval("$_exitcode"))

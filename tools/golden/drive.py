# gdb runs the game with this to play a planned round through the game's real
# input: X events from xdotool, one frame's worth before each frame's head.
# PLAN names a file of "x y buttons" lines (bzykolot2-replay frames) and SEED
# the round's seed, which the new round takes instead of its draw from rand()
# (the game built for debugging, so the seed's variables can be set).
# The game is in relative mouse mode (full screen, hidden pointer): a move is
# a motion of at most a few pixels, which SDL adds to its own pointer.
import os
import subprocess

import gdb

plan = [tuple(map(int, line.split())) for line in open(os.environ["PLAN"])]
seed = int(os.environ["SEED"])


def xdo(*args):
    # getmouselocation makes a round trip: the events are in the game's queue by then.
    subprocess.run(["xdotool", *map(str, args), "getmouselocation"], check=True, stdout=subprocess.DEVNULL)


class Seed(gdb.Breakpoint):
    """The round's generator is seeded with the plan's seed (the draw from rand() goes unused)."""

    def stop(self):
        gdb.execute("set var s = %d" % seed)
        return False


class Start(gdb.Breakpoint):
    """The round begins (its frame 0), and its recording names the plan's seed."""

    def stop(self):
        gdb.execute("set var seed = %d" % seed)
        heads.frame = 0
        return False


class Heads(gdb.Breakpoint):
    """Each frame's head: the menu's start pressed, then the plan's inputs."""

    def __init__(self):
        super().__init__("frameHead")
        self.frame = None   # of the round; None until it begins
        self.menu = 0       # frames seen in the menu
        self.buttons = 0

    def press(self, buttons):
        args = []
        for bit, button in ((1, 1), (2, 3)):
            if (buttons ^ self.buttons) & bit:
                args += ["mousedown" if buttons & bit else "mouseup", button]
        self.buttons = buttons
        return args

    def stop(self):
        if self.frame is None:
            self.menu += 1
            if self.menu == 60:   # on the start button (SDL's pointer is at the centre)
                xdo("mousemove_relative", "--", -60, -40, *self.press(1))
            elif self.menu == 70:
                xdo(*self.press(0))
            return False
        self.frame += 1
        if self.frame >= len(plan):
            self.enabled = False
            if self.buttons:
                xdo(*self.press(0))
            return False
        x, y, b = plan[self.frame]
        px, py, _ = plan[self.frame - 1]
        args = (["mousemove_relative", "--", x - px, y - py] if (x, y) != (px, py) else []) + self.press(b)
        if args:
            xdo(*args)
        return False


gdb.execute("set pagination off")
gdb.execute("set confirm off")
heads = Heads()
Seed("Rng::seed")
Start("beginRecording")
gdb.execute("run")

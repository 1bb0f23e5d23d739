#!/usr/bin/env python3
"""The page in a real browser: headless Chromium (software WebGL) against
the page the build made and the desktop program's own stills.

    browser_test.py --site DIR --velmora PATH [unittest arguments]

Exits with 77 (skipped) when there is no page (the browser build is off),
no Chromium, or no Pillow and NumPy to compare pictures with."""
import argparse
import importlib.util
import io
import os
import subprocess
import sys
import tempfile
import time
import unittest

from page_driver import Browser, Server, find_chromium

try:
    import numpy
except ImportError:  # main() skips the tests
    numpy = None

SKIPPED = 77
ARGS = None

# One moment in every part of the show, outside the random shake of scene 1
# (28 to 40 s): the intro's baked glow, the live rig, the ribbons, the
# metaballs, the creature, the greetings, the glowing cube, the closing
# picture.
MOMENTS = [5, 22.6, 46, 60.5, 100, 115.25, 147, 182]

# The browser draws with SwiftShader under WebGL 2, the desktop with Mesa's
# llvmpipe: the same pictures, but edges are rasterised and textures
# filtered by different code, so a few pixels along edges differ strongly and
# many by a level or two. Measured: a mean difference of at most 0.35 of 255
# and at least 99.6 % of pixels within 8 levels at every moment. A real fault
# (a layer missing or doubled, a wrong blend, a texture shifted by a texel, a
# state not put back) moves the mean by 10 or more.
MEAN_DIFFERENCE = 1.0
WITHIN = 8
SHARE_WITHIN = 0.99

STATE = "document.body.dataset.state"


def picture(png):
    """An RGB picture from PNG bytes, as integers (rows, columns, 3)."""
    from PIL import Image
    return numpy.asarray(Image.open(io.BytesIO(png)).convert("RGB")).astype(int)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(ARGS.site)
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.close()

    def open(self, query, width, height, until):
        """A new tab on the page with `query`, once its state is one of `until`."""
        page = self.browser.new_page(width, height)
        self.addCleanup(page.close)
        page.navigate(self.server.url + query)
        state = page.wait_for(f"{until}.includes({STATE}) && {STATE}", timeout=120)
        return page, state

    def assertNoProblems(self, page):
        self.assertEqual(page.problems(), [], "the page's console")

    def test_plays_to_the_end_with_its_music(self):
        # The last seconds of the show: the start button, the sound, the
        # animation frames, and the show ending the program.
        page, state = self.open("?from=183", 960, 640, "['ready', 'failed']")
        self.assertEqual(state, "ready")
        page.click_on("#start")
        page.wait_for("!!(Module.velmoraMusic && Module.velmoraMusic.source)", timeout=60)
        # The music is heard at the moment the picture shows.
        offset = page.evaluate("""(() => {
            const audio = Module.velmoraAudio, music = Module.velmoraMusic;
            const stamp = audio.getOutputTimestamp();
            const heard = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
            return music.offset + (heard - music.when) - Module._velmora_demo_time(); })()""")
        self.assertLess(abs(offset), 0.02)
        self.assertEqual(page.wait_for(f"['ended', 'failed'].includes({STATE}) && {STATE}", timeout=120), "ended")
        self.assertGreater(page.evaluate("Module.velmoraFrames"), 30)
        self.assertNoProblems(page)

    def test_keys_and_a_double_click_toggle_full_screen(self):
        page, state = self.open("?from=100", 960, 640, "['ready', 'failed']")
        self.assertEqual(state, "ready")
        page.click_on("#start")
        page.wait_for("Module.velmoraFrames > 5", timeout=60)
        full = "document.fullscreenElement ? document.fullscreenElement.id : ''"
        for press in (lambda: page.press("f", "KeyF"), lambda: page.press("Enter", "Enter", alt=True),
                      lambda: page.double_click(480, 320)):
            press()
            self.assertEqual(page.wait_for(full, timeout=10), "stage")
            press()
            page.wait_for(f"!({full})", timeout=10)
        self.assertNoProblems(page)

    def test_the_players_keys_pause_and_seek(self):
        page, state = self.open("?from=100", 960, 640, "['ready', 'failed']")
        self.assertEqual(state, "ready")
        page.click_on("#start")
        page.wait_for("Module.velmoraFrames > 5", timeout=60)
        moment = "Module._velmora_player_moment()"
        page.press(" ", "Space")
        held = page.wait_for(f"{moment} > 0 && {moment}", timeout=10)
        time.sleep(0.5)
        self.assertEqual(page.evaluate(moment), held)  # paused
        for key, code, where in [("2", "Digit2", 53), ("ArrowRight", "ArrowRight", 58), (".", "Period", 58 + 1 / 60),
                                 ("PageDown", "PageDown", 70), ("Home", "Home", 0)]:
            page.press(key, code)
            page.wait_for(f"Math.abs({moment} - {where}) < 1e-3", timeout=10)
        page.press(" ", "Space")  # resumed: the show moves on
        page.wait_for(f"{moment} > 0.2", timeout=10)
        self.assertNoProblems(page)

    def test_a_moment_of_every_scene_is_the_desktop_still(self):
        for at in MOMENTS:
            with self.subTest(at=at):
                page, state = self.open(f"?at={at}", 480, 320, "['still', 'failed']")
                self.assertEqual(state, "still")
                shown = picture(page.screenshot())
                self.assertNoProblems(page)
                with tempfile.TemporaryDirectory() as folder:
                    out = os.path.join(folder, "still.png")
                    subprocess.run([ARGS.velmora, "still", "--at", str(at), "--out", out], check=True)
                    with open(out, "rb") as f:
                        expected = picture(f.read())
                self.assertEqual(shown.shape, expected.shape)
                difference = abs(shown - expected)
                self.assertLess(difference.mean(), MEAN_DIFFERENCE)
                self.assertGreaterEqual((difference.max(axis=2) <= WITHIN).mean(), SHARE_WITHIN)

    def test_the_picture_keeps_its_aspect_in_tall_and_wide_windows(self):
        for width, height in [(500, 900), (1500, 560)]:
            with self.subTest(window=(width, height)):
                page, state = self.open("?at=60.5", width, height, "['still', 'failed']")
                self.assertEqual(state, "still")
                box = page.evaluate("(r => [r.x, r.y, r.width, r.height])"
                                    "(document.getElementById('canvas').getBoundingClientRect())")
                x, y, w, h = box
                # Landscape at the picture's own 3:2, as large as fits, centred.
                self.assertAlmostEqual(w / h, 1.5, places=2)
                self.assertAlmostEqual(min(width / w, height / h), 1, places=2)
                self.assertAlmostEqual(x + w / 2, width / 2, delta=1)
                self.assertAlmostEqual(y + h / 2, height / 2, delta=1)
                # What shows: the picture inside the box, black bars outside.
                shown = picture(page.screenshot()).max(axis=2)
                rows, columns = numpy.indices(shown.shape)
                inside = (rows > y + 1) & (rows < y + h - 2) & (columns > x + 1) & (columns < x + w - 2)
                outside = (rows < y - 1) | (rows > y + h) | (columns < x - 1) | (columns > x + w)
                self.assertGreater(shown[inside].mean(), 20)
                self.assertEqual(shown[outside].max(initial=0), 0)

    def test_a_moment_that_is_not_one_is_refused(self):
        page, state = self.open("?at=200", 480, 320, "['still', 'failed', 'ready']")
        self.assertEqual(state, "failed")
        self.assertIn("0 to 190", page.evaluate("document.getElementById('status').textContent"))

    def test_a_browser_without_webgl2_is_told_so(self):
        # Both ways in need the context; both say so in the same words.
        said = {}
        with Browser(extra_flags=["--disable-webgl2"]) as browser:
            for query in ["?at=60", ""]:
                with browser.new_page(480, 320) as page:
                    page.navigate(self.server.url + query)
                    if page.wait_for(f"['ready', 'still', 'failed'].includes({STATE}) && {STATE}") == "ready":
                        page.click_on("#start")
                    page.wait_for(f"{STATE} === 'failed'", timeout=30)
                    said[query] = page.evaluate("document.getElementById('status').textContent")
        self.assertEqual(said["?at=60"], said[""])
        self.assertIn("needs WebGL 2", said[""])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", default="", help="the page's folder; empty: the browser build is off")
    parser.add_argument("--velmora", required=True, help="the desktop program, for its stills")
    ARGS, rest = parser.parse_known_args()
    why = None
    if not ARGS.site or not os.path.isfile(os.path.join(ARGS.site, "index.html")):
        why = "the browser build is off (configure with VELMORA_WEB=ON, or run ./dev web build)"
    elif not find_chromium():
        why = "Chromium is not installed"
    else:
        if numpy is None or importlib.util.find_spec("PIL") is None:
            why = "Pillow and NumPy are not installed (python3-pil, python3-numpy)"
    if why:
        print(f"skipped: {why}")
        sys.exit(SKIPPED)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()

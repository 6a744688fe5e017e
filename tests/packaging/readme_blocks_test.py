#!/usr/bin/env python3
"""The shell blocks of the README marked as runnable (a fence opened with
"```sh runnable") run as they stand, each in a folder of its own where
build/ is the build being tested.

Usage: readme_blocks_test.py README BUILD_DIR
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import unittest

README, BUILD = sys.argv[1], sys.argv[2]
FENCE = re.compile(r"^```sh runnable\n(.*?)^```$", re.MULTILINE | re.DOTALL)
SECONDS_PER_BLOCK = 120


def runnable_blocks(text):
    return [match.group(1) for match in FENCE.finditer(text)]


class ReadmeBlocksTest(unittest.TestCase):
    def test_the_marker_finds_blocks_and_only_marked_ones(self):
        text = "```sh\nfalse\n```\n```sh runnable\ntrue\n```\n```shell runnable\nfalse\n```\n"
        self.assertEqual(runnable_blocks(text), ["true\n"])

    def test_every_runnable_block_runs(self):
        with open(README, encoding="utf-8") as f:
            blocks = runnable_blocks(f.read())
        self.assertNotEqual(blocks, [], "no block of the README is marked runnable")
        for number, block in enumerate(blocks, 1):
            with self.subTest(block=number), tempfile.TemporaryDirectory(prefix="readme-block-") as folder:
                os.symlink(os.path.abspath(BUILD), os.path.join(folder, "build"))
                out_path = os.path.join(folder, "output.txt")
                # Output to a file, not a pipe: a program the block left
                # running must not keep the test waiting for the pipe's end.
                with open(out_path, "w") as out:
                    process = subprocess.Popen(["bash", "-e", "-c", block], cwd=folder, stdout=out,
                                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                               start_new_session=True)
                    try:
                        status = process.wait(timeout=SECONDS_PER_BLOCK)
                    finally:
                        try:
                            os.killpg(process.pid, signal.SIGKILL)
                        except ProcessLookupError:
                            pass
                with open(out_path, encoding="utf-8", errors="replace") as f:
                    output = f.read()
                self.assertEqual(status, 0, f"block {number} failed:\n{block}\n--- its output:\n{output}")
                self.assertNotIn("tactl: ", output)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The one-command demo, headless: prepares its directory, the window comes up, closes with 0."""
import os
import subprocess
import tempfile

import qvx


class DemoTest(qvx.unittest.TestCase):

    def run_demo(self, demo, *options):
        r = subprocess.run([os.path.join(qvx.TOOLS["source"], "scripts", "demo.sh"),
                            "--headless", "--dir", demo, "--build-dir", qvx.TOOLS["build"],
                            "--launcher", qvx.TOOLS["launcher"]] +
                           list(options),
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout)
        return r

    def test_demo_first_run_answers_both_prompts(self):
        with tempfile.TemporaryDirectory(prefix="qv-demo-") as tmp:
            demo = os.path.join(tmp, "demo")
            r = self.run_demo(demo, "--first-run")
            self.assertIn("answering Find Zelko.exe", r.stdout)
            self.assertIn("answering Open a cartridge to locate your cartridge directory",
                          r.stdout)
            self.assertIn("closed cleanly (exit code 0)", r.stdout)
            with open(os.path.join(demo, "launcher", "Quorvalis.ini")) as f:
                ini = f.read()
            self.assertIn("EmulatorPath=%s/emulator/Zelko.exe\n" % demo, ini)
            self.assertIn("CartPath=%s/carts/\n" % demo, ini)

    def test_demo_headless(self):
        with tempfile.TemporaryDirectory(prefix="qv-demo-") as tmp:
            demo = os.path.join(tmp, "demo")
            r = self.run_demo(demo)
            self.assertIn("closed cleanly (exit code 0)", r.stdout)
            carts = os.listdir(os.path.join(demo, "carts"))
            self.assertEqual(len(carts), len(qvx.ROM_NAMES))
            with open(os.path.join(demo, "launcher", "Quorvalis.ini")) as f:
                ini = f.read()
            self.assertIn("CartPath=%s/carts/" % demo, ini)
            self.assertIn("QuorvalisPath=%s/launcher/" % demo, ini)
            self.assertTrue(os.access(os.path.join(demo, "emulator", "Zelko.exe"), os.X_OK))


if __name__ == "__main__":
    qvx.main()

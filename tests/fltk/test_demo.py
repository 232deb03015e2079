"""The one-command demo, headless: prepares its directory, the window comes up, closes with 0."""
import os
import subprocess
import tempfile

import qvx


class DemoTest(qvx.unittest.TestCase):

    def test_demo_headless(self):
        with tempfile.TemporaryDirectory(prefix="qv-demo-") as tmp:
            build_dir = os.path.dirname(os.path.dirname(os.path.dirname(qvx.TOOLS["launcher"])))
            demo = os.path.join(tmp, "demo")
            r = subprocess.run([os.path.join(qvx.TOOLS["source"], "scripts", "demo.sh"),
                                "--headless", "--dir", demo, "--build-dir", build_dir],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               timeout=120)
            self.assertEqual(r.returncode, 0, r.stdout)
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

import os
import tempfile

# The simulated camera, and settings kept out of the user's home.
os.environ.setdefault("VEXCAM_SIMULATOR", "3200")
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="vexcam-pytest-")
os.environ.pop("DISPLAY", None)

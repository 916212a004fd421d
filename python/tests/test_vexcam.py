"""The Python package on the simulated camera (VEXCAM_SIMULATOR=3200)."""
import os

import numpy as np
import pytest

import vexcam


@pytest.fixture
def cam():
    with vexcam.Camera(0) as c:
        yield c


@pytest.mark.parametrize("bits,shape,dtype", [
    (8, (512, 640), np.uint8), (16, (512, 640), np.uint16), (24, (512, 640, 3), np.uint8),
    (32, (512, 640, 4), np.uint8), (48, (512, 640, 3), np.uint16), (64, (512, 640, 4), np.uint16)])
def test_snapshot_shape_and_dtype_follow_the_colour_mode(cam, bits, shape, dtype):
    cam.color_bits = bits
    image = cam.snapshot()
    assert image.shape == shape and image.dtype == dtype
    assert image.max() > image.min()  # a picture, not an empty buffer


def test_mono16_keeps_the_sample_range(cam):
    cam.color_bits = 16
    assert cam.snapshot().max() < 1 << 16


def test_properties_round_trip_and_refusals_raise_with_the_code(cam):
    cam.exposure = 200
    cam.snapshot()  # the camera takes a new exposure with the next frame
    assert cam.exposure == 200
    cam.brightness = -20
    assert cam.brightness == -20
    cam.mirror_h = True
    assert cam.mirror_h
    with pytest.raises(vexcam.VexCamError) as err:
        cam.brightness = 256
    assert err.value.code == 9 and err.value.meaning == "invalid argument"
    with pytest.raises(vexcam.VexCamError) as err:
        cam.color_bits = 12
    assert err.value.code == 9


def test_frames_carry_the_frame_info_and_count_in_the_statistics(cam):
    cam.color_bits = 24
    got = [(image.shape, info) for image, info in cam.frames(5)]
    assert len(got) == 5
    for shape, info in got:
        assert shape == (512, 640, 3)
        assert (info.width, info.height, info.bits_per_pixel) == (640, 512, 24)
    assert got[-1][1].timestamp >= got[0][1].timestamp
    stats = cam.stats()
    assert stats.state == 0 and stats.frames_delivered >= 5 and stats.give_ups == 0


def test_save_writes_the_format_of_the_extension(cam, tmp_path):
    cam.snapshot()
    path = tmp_path / "shot.png"
    cam.save(path)
    assert path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    with pytest.raises(ValueError):
        cam.save(tmp_path / "shot.xyz")


def test_unknown_device_and_closed_camera_raise():
    with pytest.raises(vexcam.VexCamError) as err:
        vexcam.Camera(5)
    assert err.value.code == 2
    c = vexcam.Camera(0)
    c.close()
    with pytest.raises(vexcam.VexCamError):
        c.exposure = 100


def test_unplug_ends_frames_with_transfer_broken(cam):
    it = cam.frames(None, timeout=10)
    next(it)
    lib = vexcam.library()
    lib.VexSim_Unplug(1)
    with pytest.raises(vexcam.VexCamError) as err:
        for _ in it:
            pass
    assert err.value.code == 13

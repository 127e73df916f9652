"""The Python example on real photographs: its scores against the correlation of the photographs'
pixels computed here, and its disparities against the ground truth that comes with the pair."""

import runpy
from pathlib import Path

import numpy as np

STEREO = runpy.run_path(str(Path(__file__).resolve().parents[2] / "examples" / "python"
                            / "stereo_disparity.py"))


def test_scores_are_the_correlation_of_the_pixels():
    # Whole and fractional disparities: a fraction f of a pixel reads the right photograph's
    # columns q and q + 1 in the proportions 1 - f and f.
    left, right, _ = STEREO["photographs"]()
    half = STEREO["HALF"]
    u, _ = STEREO["grid"](left.shape, 37, half)
    disparities = np.array([0, 9.25, 24, 41.5, 60])
    u = u[:, u[1] > disparities.max() + half + 3]  # every window inside the right photograph
    scores = STEREO["sweep"](left, right, u, disparities, STEREO["window"](half))
    for k, (r, c) in enumerate(u.astype(int).T - 1):
        for j, d in enumerate(disparities):
            q, f = int(np.floor(c - d)), c - d - np.floor(c - d)
            a = left[r - half:r + half + 1, c - half:c + half + 1]
            b = ((1 - f) * right[r - half:r + half + 1, q - half:q + half + 1]
                 + f * right[r - half:r + half + 1, q - half + 1:q + half + 2])
            assert abs(scores[j, k] - np.corrcoef(a.ravel(), b.ravel())[0, 1]) < 1e-10, (r, c, d)


def test_disparities_match_the_ground_truth():
    # On this pair an 11 x 11 window finds about 80 % of the points within a pixel of the
    # ground truth, with a median error of 0.21 pixels; with the shift the wrong way round, 2 %.
    s = STEREO["summary"](STEREO["run"]())
    assert s["points"] > 20000
    assert s["within_1"] > 0.75 and s["within_half"] > 0.65
    assert s["median"] < 0.3

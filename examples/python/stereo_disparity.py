"""stereo_disparity.py: depth from a real stereo pair with mexgeom.patchcorr, in Python.

The photographs are the "Motorcycle" pair of the Middlebury 2014 stereo data set, which
scikit-image ships with its ground-truth disparities (Debian's python3-skimage, read from disk:
nothing is downloaded). The pair is rectified: the point (r, c) of the left photograph is seen at
(r, c - d) in the right one, d its disparity, which is larger the nearer the point. The shift by
d is the homography [[1, 0, 0], [0, 1, -d], [0, 0, 1]] of (row, column) positions, so patchcorr
scores every point of a grid under each candidate disparity (a plane sweep); each point takes the
disparity of its best score, refined to a fraction of a pixel by the parabola through that score
and its two neighbours. Prints how far the estimates lie from the ground truth and writes
build/stereo_disparity_python.png: the left photograph, the ground truth and the estimate on one
colour scale, and the error.

Run after installing the module (see python/README.md), or after building the native preset,
whose module it takes when none is installed: /usr/bin/python3 examples/python/stereo_disparity.py
"""

import os
import sys
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[2]
try:
    import mexgeom
except ImportError:  # not installed: the module of the native build
    sys.path.insert(0, str(ROOT / "build" / "native" / "python"))
    import mexgeom

# The disparities tried: the pair's ground truth runs from 7 to 60 pixels.
DISPARITIES = np.arange(72)
HALF = 5  # an 11 x 11 window
STEP = 4  # a point every 4 pixels along the rows and the columns


def photographs():
    """The left and right photographs in grey (float64, 0 to 1) and the left one's ground-truth
    disparities (inf where unknown)."""
    from skimage.color import rgb2gray
    from skimage.data import stereo_motorcycle

    left, right, disparity = stereo_motorcycle()
    return rgb2gray(left), rgb2gray(right), disparity


def window(half):
    """Row offsets, column offsets and weights (3 x n): a square of equal weights."""
    dr, dc = np.meshgrid(np.arange(-half, half + 1.0), np.arange(-half, half + 1.0),
                         indexing="ij")
    return np.vstack([dr.ravel(), dc.ravel(), np.ones(dr.size)])


def grid(shape, step, half):
    """The points (2 x K, 1-based (row, column)) every step pixels whose windows lie inside the
    left photograph, and the grid's shape."""
    rows = np.arange(half + 2.0, shape[0] - half, step)
    cols = np.arange(half + 2.0, shape[1] - half, step)
    r, c = np.meshgrid(rows, cols, indexing="ij")
    return np.vstack([r.ravel(), c.ravel()]), r.shape


def shift(d):
    """The homography from the left photograph's (row, column) to the right one's: c - d."""
    return np.array([[1.0, 0, 0], [0, 1, -d], [0, 0, 1]])


def sweep(left, right, u, disparities, W):
    """The score of every point under every disparity (len(disparities) x K)."""
    return np.vstack([np.ravel(mexgeom.patchcorr(left, right, shift(d), W, u, threads="auto"))
                      for d in disparities])


def best_disparity(scores, disparities):
    """Each point's disparity of best score, refined by the parabola through the best score and
    its neighbours, and that best score. A point with no score (NaN throughout) gets NaN."""
    filled = np.where(np.isnan(scores), -2.0, scores)
    k = np.argmax(filled, axis=0)
    points = np.arange(k.size)
    best = filled[k, points]
    before = filled[np.maximum(k - 1, 0), points]
    after = filled[np.minimum(k + 1, len(disparities) - 1), points]
    curvature = before - 2 * best + after
    peak = (k > 0) & (k < len(disparities) - 1) & (curvature < 0)
    offset = np.zeros(k.size)
    offset[peak] = 0.5 * (before[peak] - after[peak]) / curvature[peak]
    estimate = disparities[k] + offset
    estimate[best == -2] = np.nan
    return estimate, np.where(best == -2, np.nan, best)


def run():
    """The sweep on the pair: the photographs, the grid, the ground truth and the estimate at
    its points, and the best scores."""
    left, right, truth = photographs()
    u, shape = grid(left.shape, STEP, HALF)
    scores = sweep(left, right, u, DISPARITIES, window(HALF))
    estimate, best = best_disparity(scores, DISPARITIES)
    r, c = u.astype(np.intp) - 1
    return dict(left=left, right=right, u=u, shape=shape, truth=truth[r, c].astype(float),
                estimate=estimate, best=best)


def summary(result):
    """How far the estimates lie from the ground truth, over the points that have one."""
    known = np.isfinite(result["truth"])
    error = np.abs(result["estimate"] - result["truth"])[known]
    error[np.isnan(error)] = np.inf
    return dict(points=int(known.sum()), within_1=float(np.mean(error <= 1)),
                within_half=float(np.mean(error <= 0.5)), median=float(np.median(error)))


def picture(result, path):
    import matplotlib

    matplotlib.use("Agg")  # no display needed
    import matplotlib.pyplot as plt

    shape = result["shape"]
    truth = result["truth"].reshape(shape)
    truth[~np.isfinite(truth)] = np.nan
    estimate = result["estimate"].reshape(shape)
    error = np.abs(estimate - truth)
    top, left = result["u"][:, 0] - 1 - STEP / 2
    extent = (left, left + STEP * shape[1], top + STEP * shape[0], top)
    colours = plt.get_cmap("viridis").copy()
    colours.set_bad("black")
    fig, axes = plt.subplots(2, 2, figsize=(12, 8.6))
    axes[0, 0].imshow(result["left"], cmap="gray", vmin=0, vmax=1)
    axes[0, 0].set_title("left photograph (Middlebury 2014, Motorcycle)")
    for ax, values, title in [(axes[0, 1], truth, "ground-truth disparity (black: none)"),
                              (axes[1, 0], estimate, "disparity of the best patchcorr score")]:
        shown = ax.imshow(values, cmap=colours, vmin=0, vmax=DISPARITIES[-1], extent=extent)
        ax.set_title(title)
        fig.colorbar(shown, ax=ax, label="pixels")
    errors = plt.get_cmap("magma").copy()
    errors.set_bad("0.6")
    shown = axes[1, 1].imshow(error, cmap=errors, vmin=0, vmax=3, extent=extent)
    axes[1, 1].set_title("|estimate - ground truth| (grey: no ground truth)")
    fig.colorbar(shown, ax=axes[1, 1], label="pixels (3 and more alike)")
    for ax in axes.ravel():
        ax.axis("off")
    fig.tight_layout()
    fig.savefig(path, dpi=80)


def main():
    result = run()
    s = summary(result)
    print(f"\npatchcorr plane sweep on the Motorcycle pair ({result['left'].shape[0]} x "
          f"{result['left'].shape[1]}): {result['u'].shape[1]} points, "
          f"{len(DISPARITIES)} disparities, an {2 * HALF + 1} x {2 * HALF + 1} window")
    print(f"{s['points']} points with ground truth: {100 * s['within_1']:.1f} % within 1 pixel, "
          f"{100 * s['within_half']:.1f} % within half a pixel; median error "
          f"{s['median']:.2f} pixels")
    print("(the rest mostly where the right photograph cannot see the point, at depth edges, "
          "and on plain or repeating surfaces)")
    outdir = Path(os.environ.get("MEXGEOM_EXAMPLES_OUTPUT") or ROOT / "build")
    outdir.mkdir(parents=True, exist_ok=True)
    png = outdir / "stereo_disparity_python.png"
    picture(result, png)
    print(f"\nwrote {png}")


if __name__ == "__main__":
    main()

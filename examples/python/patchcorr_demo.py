"""patchcorr_demo.py: verifying a homography with mexgeom.patchcorr, in Python.

Image Y is image X warped through a known homography H. Every point of a grid is scored with
patchcorr under the true H and under a slightly wrong one: the true H scores near 1 almost
everywhere, the wrong one does not. Prints a table and writes build/patchcorr_scores_python.png:
the images X and Y, and the two score maps (blue for -1 to red for +1, black where a score is
undefined).

Run after installing the module (see python/README.md), or after building the native preset,
whose module it takes when none is installed: python3 examples/python/patchcorr_demo.py
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

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt


def picture(rows, cols):
    """A sombrero seen from above: sin(r) / r in rings about the centre, on a fine weave that
    gives every window some texture, inside a disc on a plain grey ground."""
    s, t = np.meshgrid(np.arange(rows), np.arange(cols), indexing="ij")
    d = np.hypot(s - 0.47 * rows, t - 0.52 * cols)
    r = d / 6 + 1e-9
    weave = np.sin(0.45 * s + 0.2 * t) * np.sin(0.3 * t - 0.15 * s)
    disc = np.clip((125 - d) / 10, 0, 1)  # 1 inside, 0 outside, a soft edge between
    return 200 + disc * (100 * np.sin(r) / r + 22 * weave - 80)


def warp(X, H):
    """Y(q) = X(H^-1 q): X sampled bilinearly at the preimage of every pixel of Y (1-based
    (row, column) positions), 0 outside X."""
    rows, cols = X.shape
    qr, qc = np.meshgrid(np.arange(1, rows + 1), np.arange(1, cols + 1), indexing="ij")
    p = np.linalg.solve(H, np.vstack([qr.ravel(), qc.ravel(), np.ones(qr.size)]))
    pr, pc = p[0] / p[2], p[1] / p[2]
    inside = (pr >= 1) & (pr <= rows) & (pc >= 1) & (pc <= cols)
    r0 = np.clip(np.floor(pr[inside]).astype(int), 1, rows - 1) - 1
    c0 = np.clip(np.floor(pc[inside]).astype(int), 1, cols - 1) - 1
    fr, fc = pr[inside] - 1 - r0, pc[inside] - 1 - c0
    Y = np.zeros(qr.size)
    Y[inside] = ((1 - fc) * ((1 - fr) * X[r0, c0] + fr * X[r0 + 1, c0])
                 + fc * ((1 - fr) * X[r0, c0 + 1] + fr * X[r0 + 1, c0 + 1]))
    return Y.reshape(rows, cols)


X = picture(240, 300)
rows, cols = X.shape

# The true homography: a rotation by 4 degrees and a scale of 1.05 about the image centre, with a
# touch of perspective. H maps 1-based (row, column) positions of X to those of Y.
c = np.array([rows, cols]) / 2
a = np.radians(4)
A = 1.05 * np.array([[np.cos(a), -np.sin(a)], [np.sin(a), np.cos(a)]])
H = np.vstack([np.hstack([A, (c - A @ c)[:, None]]), [2e-5, -1e-5, 1]])
Y = warp(X, H)

# A 15 x 15 window of Gaussian weights (row offsets, column offsets, weights: 3 x 225) and a grid
# of points every 6 pixels (2 x K, row first).
dr, dc = np.meshgrid(np.arange(-7.0, 8), np.arange(-7.0, 8), indexing="ij")
W = np.vstack([dr.ravel(), dc.ravel(), np.exp(-(dr.ravel() ** 2 + dc.ravel() ** 2) / 50)])
gr, gc = np.meshgrid(np.arange(10.0, rows - 9, 6), np.arange(10.0, cols - 9, 6), indexing="ij")
u = np.vstack([gr.ravel(), gc.ravel()])

# A wrong homography: the true one followed by a shift of 2 pixels along both axes.
Hwrong = np.array([[1, 0, 2], [0, 1, 2], [0, 0, 1]]) @ H

print(f"\npatchcorr on a {rows} x {cols} image, {u.shape[1]} points, "
      f"window of {W.shape[1]} samples")
print(f"{'homography':22} {'sampling':9} {'median':>8} {'share>0.9':>10} {'NaN':>8}")
print("(NaN: a window of constant values, such as the plain ground, has no correlation)")
maps = []
for label, h in [("true H", H), ("H shifted by 2 px", Hwrong)]:
    for method in ["bilinear", "nearest"]:
        s = mexgeom.patchcorr(X, Y, h, W, u, method)
        finite = s[np.isfinite(s)]
        print(f"{label:22} {method:9} {np.median(finite):8.3f} {np.mean(finite > 0.9):10.3f} "
              f"{np.isnan(s).sum():8d}")
        if method == "bilinear":
            maps.append(s.reshape(gr.shape))

# The picture: X and Y in grey, and the two bilinear score maps, each point a 6 x 6 block.
scores = plt.get_cmap("coolwarm").copy()
scores.set_bad("black")
fig, axes = plt.subplots(2, 2, figsize=(11, 7.6))
for ax, image, title in [(axes[0, 0], X, "X"), (axes[0, 1], Y, "Y: X warped by H")]:
    ax.imshow(image, cmap="gray", vmin=0, vmax=255)
    ax.set_title(title)
for ax, m, label in [(axes[1, 0], maps[0], "the true H"), (axes[1, 1], maps[1],
                                                              "H shifted by 2 px")]:
    shown = ax.imshow(np.kron(m, np.ones((6, 6))), cmap=scores, vmin=-1, vmax=1)
    ax.set_title(f"scores under {label} (median {np.median(m[np.isfinite(m)]):.3f})")
    fig.colorbar(shown, ax=ax, ticks=[-1, -0.5, 0, 0.5, 1])
for ax in axes.ravel():
    ax.axis("off")
fig.tight_layout()
outdir = Path(os.environ.get("MEXGEOM_EXAMPLES_OUTPUT") or ROOT / "build")
outdir.mkdir(parents=True, exist_ok=True)
png = outdir / "patchcorr_scores_python.png"
fig.savefig(png, dpi=100)
print(f"\nwrote {png}")

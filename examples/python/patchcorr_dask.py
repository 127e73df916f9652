"""patchcorr_dask.py: mexgeom.patchcorr mapped over image pairs on a Dask cluster.

Starts a Dask scheduler and two worker processes on the loopback address (Debian's
python3-distributed), sends the window and the points to every worker once, maps
mexgeom.patchcorr over 16 image pairs (each image Y is its X shifted by a known amount, scored
under the true shift and a wrong one), and checks that every result has the bits of the same call
made in a plain loop here. The cluster is shut down before the script ends, and every wait is
bounded: the script fails rather than hangs. Exits with 1 when a result differs.

Run after installing the package (see python/README.md), or after building the native preset,
whose package it takes when none is installed: /usr/bin/python3 examples/python/patchcorr_dask.py
"""

import logging
import multiprocessing
import sys
import time
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[2]
try:
    import mexgeom
except ImportError:  # not installed: the package of the native build
    sys.path.insert(0, str(ROOT / "build" / "native" / "python"))
    import mexgeom

from distributed import Client, LocalCluster, wait

TIMEOUT = 90  # seconds, for starting the cluster and for the results


def pairs(count, rows=200, cols=240):
    """count image pairs: X a smooth random texture, Y = X shifted by (dr, dc) whole pixels, H
    the true shift (in 1-based (row, column) coordinates) or, for every other pair, one pixel off."""
    rng = np.random.default_rng(24)
    out = []
    for k in range(count):
        X = rng.random((rows + 20, cols + 20))
        X = (X[:-2, :-2] + X[1:-1, 1:-1] + X[2:, 2:]) * 80  # some correlation between neighbours
        dr, dc = rng.integers(-6, 7, size=2)
        Y = np.roll(X, (dr, dc), axis=(0, 1))[10:-8, 10:-8]
        X = X[10:-8, 10:-8]
        off = k % 2
        H = np.array([[1.0, 0, dr + off], [0, 1, dc], [0, 0, 1]])
        out.append((X, Y, H))
    return out


def main():
    data = pairs(16)
    s, t = np.meshgrid(np.arange(-5.0, 6), np.arange(-5.0, 6), indexing="ij")
    W = np.vstack([s.ravel(), t.ravel(), np.exp(-(s.ravel() ** 2 + t.ravel() ** 2) / 18)])
    gr, gc = np.meshgrid(np.arange(15.0, 180, 4), np.arange(15.0, 220, 4), indexing="ij")
    u = np.vstack([gr.ravel(), gc.ravel()])

    start = time.monotonic()
    loop = [mexgeom.patchcorr(X, Y, H, W, u) for X, Y, H in data]
    in_loop = time.monotonic() - start

    start = time.monotonic()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, silence_logs=logging.WARNING) as cluster, \
            Client(cluster, timeout=TIMEOUT) as client:
        client.wait_for_workers(2, timeout=TIMEOUT)
        workers = client.scheduler_info()["workers"]
        started = time.monotonic() - start
        # The window and the points go to every worker once; the images one pair per task.
        W_there, u_there = client.scatter([W, u], broadcast=True)
        start = time.monotonic()
        futures = client.map(mexgeom.patchcorr, *zip(*data), W=W_there, u=u_there, pure=False)
        done, not_done = wait(futures, timeout=TIMEOUT)
        if not_done:
            raise TimeoutError(f"{len(not_done)} tasks unfinished after {TIMEOUT} s")
        on_cluster = client.gather(futures)
        mapped = time.monotonic() - start
        ran_on = {w["host"] for w in workers.values()}
    left = multiprocessing.active_children()

    same = [a.shape == b.shape and a.tobytes() == b.tobytes() for a, b in zip(loop, on_cluster)]
    print(f"{len(data)} image pairs of {data[0][0].shape[0]} x {data[0][0].shape[1]}, "
          f"{u.shape[1]} points each, window of {W.shape[1]} samples")
    print(f"cluster: a scheduler and {len(workers)} worker processes on {', '.join(ran_on)}, "
          f"started in {started:.1f} s")
    print(f"{'pair':>4} {'H':>10} {'median score':>13} {'same bits':>10}")
    for k, (scores, equal) in enumerate(zip(on_cluster, same)):
        print(f"{k:4d} {'true' if k % 2 == 0 else 'one off':>10} "
              f"{np.nanmedian(scores):13.3f} {'yes' if equal else 'NO':>10}")
    print(f"plain loop {in_loop:.2f} s, on the cluster {mapped:.2f} s")
    print(f"worker processes left after shutdown: {len(left)}")
    if not all(same) or left:
        print("FAILED: a result differs from the plain loop, or a worker outlived the cluster")
        return 1
    return 0


if __name__ == "__main__":  # worker processes import this file without running it
    sys.exit(main())

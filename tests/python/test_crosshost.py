"""The recorded calls of the cross-host comparison (tests/crosshost/crosshost_cases.m) give in
Python the bytes they give in GNU Octave (every output's bits, and its shape once the package's
1-D results are given the commands' shapes; every message), with the arrays in Fortran order as
recorded and in C order. MEXGEOM_OCTAVE_DIR names the Octave build
(build/native/octave); without it, or without octave-cli, the comparison is skipped."""

import struct
from pathlib import Path

import numpy as np
import pytest

import mexgeom

CASES = Path(__file__).resolve().parents[1] / "crosshost"
CLASSES = {6: np.dtype("<f8"), 9: np.dtype("u1"), 4: np.dtype("u1"), 3: np.dtype("u1"),
           7: np.dtype("<f4")}


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, n):
        self.at += n
        return self.data[self.at - n:self.at]

    def int(self):
        return struct.unpack("<i", self.take(4))[0]

    def array(self):
        """A recorded array: text for a char array, else a NumPy array of its class."""
        cls, complex_, ndims = self.int(), self.int(), self.int()
        dims = [int(d) for d in struct.unpack(f"<{ndims}d", self.take(8 * ndims))]
        dtype = CLASSES[cls]
        count = int(np.prod(dims))
        values = np.frombuffer(self.take(count * dtype.itemsize), dtype).reshape(dims, order="F")
        if complex_:
            values = values + 1j * np.frombuffer(self.take(count * dtype.itemsize),
                                                 dtype).reshape(dims, order="F")
        return values.tobytes().decode() if cls == 4 else values

    def outcome(self):
        """The bytes of one recorded outcome."""
        start = self.at
        if self.int() == 1:
            self.take(self.int())
        else:
            for _ in range(self.int()):
                self.array()
        return self.data[start:self.at]


def record(outputs):
    """An outcome as the recording writes it: outputs of class double, or an error message."""
    if isinstance(outputs, Exception):
        message = str(outputs).encode()
        return struct.pack("<ii", 1, len(message)) + message
    out = struct.pack("<ii", 0, len(outputs))
    for a in outputs:
        out += struct.pack("<iii", 6, 0, a.ndim) + struct.pack(f"<{a.ndim}d", *a.shape)
        out += a.tobytes(order="F")
    return out


# The commands' shapes of the package's 1-D results: a row of scores or responses, a column of
# residuals.
AS_COMMAND = {"patchcorr": lambda s: s[np.newaxis, :], "stripfilt": lambda s: s[np.newaxis, :],
              "pluckresid": lambda r: r[:, np.newaxis]}


def call(name, nlhs, inputs):
    shaped = AS_COMMAND.get(name, lambda a: a)
    try:
        if name == "pluckresid" and nlhs == 2:
            r, J = mexgeom.pluckresid(*inputs, jacobian=True)
            return [shaped(r), J]
        return [shaped(getattr(mexgeom, name)(*inputs))]
    except (TypeError, ValueError, MemoryError) as error:
        return error


@pytest.fixture(scope="module")
def recorded(tmp_path_factory, octave_eval):
    work = tmp_path_factory.mktemp("crosshost")
    octave_eval(f"crosshost_cases('{work}/cases.bin', '{work}/octave.bin')", CASES)
    cases, outcomes = Reader((work / "cases.bin").read_bytes()), []
    results = Reader((work / "octave.bin").read_bytes())
    while cases.at < len(cases.data):
        name = cases.take(cases.int()).decode()
        nlhs = cases.int()
        inputs = [cases.array() for _ in range(cases.int())]
        outcomes.append((name, nlhs, inputs, results.outcome()))
    assert results.at == len(results.data)
    assert {o[0] for o in outcomes} == {"patchcorr", "pluckresid", "stripfilt", "xprod3",
                                        "hesseform"}
    return outcomes


@pytest.mark.parametrize("order", ["F", "C"])
def test_the_recorded_calls_give_octaves_bytes(recorded, order):
    for k, (name, nlhs, inputs, expected) in enumerate(recorded):
        given = [a if isinstance(a, str) else np.array(a, order=order) for a in inputs]
        assert record(call(name, nlhs, given)) == expected, f"call {k + 1}: {name}"

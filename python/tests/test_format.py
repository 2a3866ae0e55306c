"""The format's description as Python sees it (kvres.kinds, the name rules and
the phase conversion): every name rule and conversion round-trips where it is
defined, against the reader's own answers and expectations written out here."""
import numpy as np
import pytest

import kvres

hypothesis = pytest.importorskip("hypothesis")
st = hypothesis.strategies

# Written out here, not taken from the table: code -> (reals, complex,
# binding, format, stored end, complex result mark).
EXPECTED_KINDS = {
    0: (3, False, "nodes", "vector", "", "_NC"),
    1: (1, False, "nodes", "scalar", "", ""),
    2: (0, False, "none", "none", "", ""),
    3: (1, False, "elements", "scalar", "", ""),
    4: (6, True, "nodes", "vector", " (c)", ""),
    5: (2, True, "nodes", "scalar", "", ""),
    6: (2, True, "elements", "scalar", "", ""),
    7: (3, False, "nodes", "triple", "", ""),
    8: (3, False, "elements", "triple", "", ""),
}
SETTINGS = hypothesis.settings(max_examples=400, deadline=None, database=None)
# Text that a name field can hold, with the spellings the reader merges and
# the parts the name rules add or take off.
NAME_PARTS = ["displacement", "Displacements", "DISPLACEMENTS", "nodal displacement",
              "Nodal Displacement", "displacements (c)", " (c)", "_NC", ":Phase", "x", "T", "_"]
names = st.lists(st.one_of(st.sampled_from(NAME_PARTS),
                           st.text(st.characters(min_codepoint=32, max_codepoint=126),
                                   max_size=4)),
                 max_size=3).map("".join)


def test_kinds_are_the_formats():
    assert [k["code"] for k in kvres.kinds] == list(EXPECTED_KINDS)
    for kind in kvres.kinds:
        assert (kind["reals"], kind["complex"], kind["binding"], kind["format"],
                kind["stored_name_end"], kind["complex_result_suffix"]) == \
            EXPECTED_KINDS[kind["code"]]
        assert kind["triple_parts"] == ((":Magnitude", ":Phase", ":Offset")
                                        if kind["format"] == "triple" else ())
    assert kvres.encodings == ("i4le", "i4be", "i8le", "i8be")
    with pytest.raises(ValueError, match="kinds are 0 to 8"):
        kvres.stored_name("x", 9)


@pytest.mark.parametrize("shown, kind, complex_data, stored", [
    ("w", 4, True, "w (c)"),
    ("u_NC", 0, True, "u"),
    ("u", 0, False, "u"),
    ("u_NC", 0, False, "u_NC"),
    ("displacement", 0, False, "displacement"),
    ("T", 7, False, "T"),
    ("Displacements", 0, False, None),     # read back as "displacement"
    ("u", 0, True, None),                  # always marked in a complex result
    ("displacements", 4, True, None),
])
def test_stored_names(shown, kind, complex_data, stored):
    if stored is None:
        with pytest.raises(ValueError, match="reads back as"):
            kvres.stored_name(shown, kind, complex_data)
    else:
        assert kvres.stored_name(shown, kind, complex_data) == stored
        assert kvres.shown_name(stored, kind, complex_data) == shown


@SETTINGS
@hypothesis.given(names, st.integers(0, 8), st.booleans())
def test_shown_stored_shown(shown, kind, complex_data):
    try:
        stored = kvres.stored_name(shown, kind, complex_data)
    except ValueError:
        # Undefined only where no stored name ending as writers end it
        # (" (c)") is shown so: the only such names shown as another text
        # are the spellings the reader merges (one of each, letter case
        # aside), and the name's own forms.
        end = kvres.kinds[kind]["stored_name_end"]
        candidates = {shown + end, shown[:-3] + end, "displacements", "nodal displacement",
                      "displacements (c)"}
        assert all(kvres.shown_name(candidate, kind, complex_data) != shown
                   for candidate in candidates)
        return
    assert kvres.shown_name(stored, kind, complex_data) == shown


@SETTINGS
@hypothesis.given(names, st.integers(0, 8), st.booleans())
def test_stored_shown_stored(stored, kind, complex_data):
    stored += kvres.kinds[kind]["stored_name_end"]
    shown = kvres.shown_name(stored, kind, complex_data)
    if kvres.shown_name(stored, 1) != stored:
        return  # a spelling the reader merges: its shown name has another stored name
    assert kvres.stored_name(shown, kind, complex_data) == stored


finite32 = st.floats(width=32, allow_nan=False, allow_infinity=False)


@SETTINGS
@hypothesis.given(st.lists(finite32, min_size=1, max_size=64))
def test_radians_degrees_radians_is_bit_exact(degrees):
    # Every radians value a read can deliver comes back bit for bit.
    radians = kvres.degrees_to_radians(np.array(degrees, np.float32))
    back = kvres.degrees_to_radians(kvres.radians_to_degrees(radians))
    assert back.tobytes() == radians.tobytes()


def test_conversion_keeps_shape_and_specials():
    given = np.array([[180.0, np.nan], [np.inf, -np.inf]], np.float32)
    radians = kvres.degrees_to_radians(given)
    assert radians.shape == (2, 2) and radians.dtype == np.float32
    assert radians[0, 0] == np.float32(3.1415927)
    assert np.isnan(radians[0, 1]) and radians[1, 0] == np.inf and radians[1, 1] == -np.inf
    assert kvres.radians_to_degrees(np.float32(np.pi)) == np.float32(180.0)
    zeros = np.array([0.0, -0.0], np.float32)
    assert kvres.radians_to_degrees(zeros).tobytes() == zeros.tobytes()

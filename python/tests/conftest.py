"""What the suites share: where the sources are, the test messages, the C++ reference dump,
and the capture in the same shape as that dump."""
import functools
import json
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ["MOXXML_SOURCE_DIR"])
CAPTURE_DUMP = os.environ["MOXXML_CAPTURE_DUMP"]

# Every MIME test runs at each of these chunk sizes; None is the whole message at once.
CHUNK_SIZES = [None, 1, 2, 3, 7, 64]

MESSAGES = sorted((SOURCE / "tests" / "data" / "messages").glob("*.eml")) + sorted(
    (SOURCE / "examples").glob("*.eml"))


def message_id(path):
    return path.parent.name + "/" + path.name


def hexed(text):
    return text.encode("utf-8", "surrogateescape").hex()


def cpp_capture(path):
    """The tree and MDN fields that the C++ API gives for a message file."""
    output = subprocess.run([CAPTURE_DUMP, str(path)], check=True, capture_output=True).stdout
    return json.loads(output)


def first_params(fields, name):
    """Parameters of the first field called name (any case): lower-case names, first wins."""
    for field_name, _, params in fields:
        if bytes.fromhex(field_name).lower() == name:
            found = {}
            for param_name, value in params:
                found.setdefault(bytes.fromhex(param_name).lower().hex(), value)
            return found
    return {}


def expected_part(node):
    """A reference node in the shape of part_shape()."""
    return {
        "content_type": node["content_type"],
        "headers": [[name, value] for name, value, _ in node["fields"]],
        "params": first_params(node["fields"], b"content-type"),
        "disposition_params": first_params(node["fields"], b"content-disposition"),
        "children": [expected_part(child) for child in node["children"]],
    }


def part_shape(part):
    """A Part as hex strings, comparable with expected_part()."""
    return {
        "content_type": hexed(part.content_type),
        "headers": [[hexed(name), hexed(value)] for name, value in part.headers],
        "params": {hexed(k): hexed(v) for k, v in part.params.items()},
        "disposition_params": {hexed(k): hexed(v) for k, v in part.disposition_params.items()},
        "children": [part_shape(child) for child in part.children],
    }


def capture_shape(capture):
    return {"tree": part_shape(capture.tree),
            "mdn_fields": [[hexed(n), hexed(v)] for n, v in capture.mdn_fields],
            "is_mdn": capture.is_mdn}


@functools.lru_cache(maxsize=None)
def expected_capture(path):
    reference = cpp_capture(path)
    return {"tree": expected_part(reference["tree"]),
            "mdn_fields": [[n, v] for n, v, _ in reference["mdn_fields"]],
            "is_mdn": reference["is_mdn"]}


@pytest.fixture(params=MESSAGES, ids=message_id)
def message_path(request):
    return request.param

"""The README's Python example: the README shows python/examples/record_mdn.py verbatim,
and the file, run on a bundled MDN, prints a document the schema accepts with the MDN's
fields in it."""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

from conftest import SOURCE

EXAMPLE = SOURCE / "python" / "examples" / "record_mdn.py"


def test_readme_shows_the_example_verbatim():
    readme = (SOURCE / "README.md").read_text(encoding="utf-8")
    assert "```python\n" + EXAMPLE.read_text(encoding="utf-8") + "```\n" in readme
    assert "-DMOXXML_BUILD_PYTHON=ON" in readme


def test_example_records_an_mdn():
    output = subprocess.run([sys.executable, str(EXAMPLE),
                             str(SOURCE / "examples" / "as2-mdn-rfc3798-1.eml")],
                            check=True, capture_output=True, env=os.environ).stdout
    subprocess.run(["xmllint", "--noout", "--schema", str(SOURCE / "schema" / "moxmsg.xsd"), "-"],
                   input=output, check=True, capture_output=True)
    root = ET.fromstring(output)
    assert root.find("applinfo/status").get("v") == "ok"
    disposition = root.find(".//mimepart/headers/disposition")
    assert disposition.get("v") == "manual-action/MDN-sent-manually; displayed"

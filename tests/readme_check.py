#!/usr/bin/env python3
"""Fails unless the README shows the worked example exactly as it is compiled and run."""
import sys

readme, example = (open(path, encoding="utf-8").read() for path in sys.argv[1:3])
block = "```cpp\n" + example + "```\n"
if block not in readme:
    print(f"{sys.argv[1]} does not show {sys.argv[2]} verbatim in a ```cpp block")
    sys.exit(1)
print("README shows the worked example verbatim")

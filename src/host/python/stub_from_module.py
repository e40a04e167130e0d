# SPDX-License-Identifier: Apache-2.0
"""Writes the type stub of the built module tarsinrf from its own rows (tarsinrf._members), its
enumerations and CError's fields, so editors and type checkers see what help() shows:
stub_from_module.py OUTPUT (with the built module on PYTHONPATH)."""
import enum
import inspect
import sys

import tarsinrf

lines = ["# Generated from the built module: do not edit.",
         "from enum import IntEnum",
         "from typing import Any",
         "",
         "__version__: str",
         "",
         "class ComError(Exception):",
         "    number: int",
         "    description: str",
         "    def __init__(self, number: int, description: str) -> None: ...",
         ""]
enums = [value for name, value in vars(tarsinrf).items()
         if isinstance(value, type) and issubclass(value, enum.IntEnum) and value.__name__ == name]
for kind in enums:
    lines.append(f"class {kind.__name__}(IntEnum):")
    lines += [f"    {item} = {member.value}" for item, member in kind.__members__.items()]
    lines.append("")
# Each constant by its own name too (an alias of an equal value included).
for kind in enums:
    lines += [f"{item}: {kind.__name__}" for item, member in kind.__members__.items()
              if getattr(tarsinrf, item, None) is member]
lines += ["", "class CError:"]
for name, value in vars(tarsinrf.CError).items():
    if isinstance(value, property):
        lines.append(f"    {name}: {value.__doc__}")
lines += ["", "class Encoder:",
          "    def __init__(self, parameters: str | None = None) -> None: ...",
          "    def __enter__(self) -> Encoder: ...",
          "    def __exit__(self, *exc_info: object) -> bool: ...",
          "    def invoke(self, name: str, /, *args: Any, **kwargs: Any) -> Any: ..."]
for row in tarsinrf._members:
    if "property" in row:
        lines.append(f"    {row['name']}: {row['property']}")
        continue
    parameters = "".join(f", {name}: {kind}" + (" | None = None" if omit else "")
                         for name, kind, _, omit in row["parameters"])
    lines.append(f"    def {row['name']}(self{parameters}) -> {row['returns']}: ...")
# The module's functions, with the text signature each one gives.
lines.append("")
for name, value in vars(tarsinrf).items():
    if callable(value) and not isinstance(value, type) and not name.startswith("_"):
        try:
            signature = str(inspect.signature(value)) + " -> Any"
        except ValueError:
            signature = "(*args: Any, **kwargs: Any) -> Any"
        lines.append(f"def {name}{signature}: ...")
with open(sys.argv[1], "w", encoding="utf-8") as out:
    out.write("\n".join(lines) + "\n")

# SPDX-License-Identifier: Apache-2.0
"""Writes the public enumerations of include/tarsin/types.h as a C++ table for the Python module,
so that its IntEnums follow the header, and which member's result or parameter has which of them,
from include/tarsin/encoder.h: enums_from_header.py TYPES_H ENCODER_H OUTPUT."""
import re
import sys

header = open(sys.argv[1], encoding="utf-8").read()
rows = []
names = set()
for name, body in re.findall(r"enum\s+(\w+)\s*:\s*int32_t\s*\{(.*?)\}", header, re.S):
    values = re.findall(r"(\w+)\s*=\s*(-?(?:0x[0-9A-Fa-f]+|\d+))", body)
    items = ", ".join(f'{{"{item}", {value}}}' for item, value in values)
    rows.append(f'    {{"{name}", {{{items}}}}},')
    names.add(name)

# Declarations without their comments: "Type Name(parameters)"; "" names a member's result.
encoder = re.sub(r"//[^\n]*", "", open(sys.argv[2], encoding="utf-8").read())
uses = []
for result, member, parameters in re.findall(r"(\w+)\s+(\w+)\s*\(([^()]*)\)", encoder):
    found = [("", result)] if result in names else []
    for parameter in parameters.split(","):
        typed = re.fullmatch(r"\s*(?:const\s+)?(\w+)\s*&?\s*(\w+)\s*", parameter)
        if typed and typed.group(1) in names:
            found.append((typed.group(2), typed.group(1)))
    uses += [f'    {{"{member}", "{name}", "{enum}"}},' for name, enum in found]
with open(sys.argv[3], "w", encoding="utf-8") as out:
    out.write("// Generated from include/tarsin/types.h and encoder.h: do not edit.\n")
    out.write("const EnumTable kEnums[] = {\n" + "\n".join(rows) + "\n};\n")
    out.write("const EnumUse kEnumUses[] = {\n" + "\n".join(sorted(set(uses))) + "\n};\n")

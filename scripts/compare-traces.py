#!/usr/bin/env python3
"""Compares two talvor-panel traces (JSON lines) update by update.

Usage: compare-traces.py EXPECTED.jsonl ACTUAL.jsonl [--label NAME]

Events and sounds must match exactly; element values match within a relative
tolerance of 1e-9, since the i686 module computes with the x87 unit and the
x86-64 one with SSE. Prints the differences (at most 20) and exits 1 if any.
"""

import argparse
import json
import math
import sys

TOLERANCE = 1e-9
MAX_REPORTED = 20


def close(a, b):
    if isinstance(a, bool) or isinstance(b, bool) or not isinstance(a, (int, float)) \
            or not isinstance(b, (int, float)):
        return a == b
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b or abs(a - b) <= TOLERANCE * max(1.0, abs(a), abs(b))


def describe(record):
    if "event" in record:
        return f"event {record.get('name', record['event'])}:{record.get('value')}"
    if "sound" in record:
        return f"sound {record['sound']!r} flags {record.get('flags')} found {record.get('found')}"
    if "values" in record:
        return f"values of {record.get('gauge')} (instance {record.get('instance')})"
    return json.dumps(record, sort_keys=True)


def differences(expected, actual):
    """Yields a text for every difference between two lists of trace records."""
    for n, (e, a) in enumerate(zip(expected, actual), start=1):
        where = f"line {n} (update {e.get('update')})"
        if set(e) != set(a):
            yield f"{where}: {describe(e)} vs {describe(a)}"
            continue
        for key in sorted(e):
            ev, av = e[key], a[key]
            if isinstance(ev, list) and isinstance(av, list):
                if len(ev) != len(av):
                    yield f"{where}: {describe(e)}: {key} has {len(ev)} entries vs {len(av)}"
                    continue
                for i, (x, y) in enumerate(zip(ev, av), start=1):
                    if not close(x, y):
                        yield f"{where}: {describe(e)}: {key}[element {i}] {x!r} vs {y!r}"
            elif not close(ev, av):
                yield f"{where}: {describe(e)}: {key} {ev!r} vs {av!r}"
    if len(expected) != len(actual):
        longer, which = (expected, "first") if len(expected) > len(actual) else (actual, "second")
        extra = longer[min(len(expected), len(actual))]
        yield (f"the {which} trace has {abs(len(expected) - len(actual))} more records,"
               f" from update {extra.get('update')}: {describe(extra)}")


def read(path):
    records = []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, start=1):
            if not line.strip():
                continue
            try:
                records.append(json.loads(line))
            except json.JSONDecodeError as e:
                raise SystemExit(f"compare-traces: {path}:{n}: not JSON: {e}")
    return records


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("expected")
    parser.add_argument("actual")
    parser.add_argument("--label", default="")
    args = parser.parse_args()
    expected, actual = read(args.expected), read(args.actual)
    label = f"{args.label}: " if args.label else ""
    found = 0
    for text in differences(expected, actual):
        found += 1
        if found <= MAX_REPORTED:
            print(f"compare-traces: {label}{text}", file=sys.stderr)
    if found > MAX_REPORTED:
        print(f"compare-traces: {label}... and {found - MAX_REPORTED} more", file=sys.stderr)
    if found:
        return 1
    print(f"compare-traces: {label}{len(expected)} records match")
    return 0


if __name__ == "__main__":
    sys.exit(main())

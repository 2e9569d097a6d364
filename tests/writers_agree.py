#!/usr/bin/env python3
"""Every writer tells the same physical truth.

Runs vandrel-tdr with every output on a stream that tours every regime (dry
run, casts of two channel sets, a burst, fixes) and on the bundled sample,
then checks that the TDR table, PREFIX_tdr.nc, the dive table,
PREFIX_dives.nc and the report's data agree value for value, fills included:
no writer shows a depth or temperature that is not the table's, read in the
unit of the row's regime.

    writers_agree.py VANDREL_TDR GEN_TDR_STREAM SAMPLE
"""
import json
import math
import os
import re
import subprocess
import sys
import tempfile

import netCDF4

FILL_FLOAT = 9.969209968386869e36
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def close(a, b, tol):
    return abs(a - b) <= tol * max(1.0, abs(b))


def values(ds, name):
    v = ds.variables[name][:]
    return v.filled(math.nan) if hasattr(v, "filled") else v


def table_rows(path):
    with open(path, newline="") as f:
        lines = f.read().split("\r\n")
    return lines[0].split("\t"), [l.split("\t") for l in lines[1:] if l[:1].isdigit()]


def check_tdr(prefix):
    header, rows = table_rows(prefix + "_tdr.txt")
    tdr = netCDF4.Dataset(prefix + "_tdr.nc")
    events = netCDF4.Dataset(prefix + "_events.nc")
    depth = values(tdr, "depth")
    temp = values(tdr, "temperature") if "temperature" in tdr.variables else None
    run = tdr.variables["run_index"][:]
    regime = events.variables["run_regime"][:]
    dry = events.variables["run_dry"][:]
    expect(len(rows) == len(depth), f"{prefix}: {len(rows)} rows vs {len(depth)}")
    physical = {"depth": [], "temperature": []}
    for i, tok in enumerate(rows):
        r = run[i]
        has_temp = regime[r] in (1, 7)
        if dry[r]:
            # A dry run holds no depth: the table prints 0, the file a fill.
            expect(tok[1] == "0.0" and math.isnan(depth[i]), f"{prefix} row {i + 1}: dry depth {depth[i]}")
        else:
            metres = float(tok[1]) / (100.0 if regime[r] == 5 else 1.0)
            physical["depth"].append(metres)
            expect(close(float(depth[i]), metres, 1e-6), f"{prefix} row {i + 1}: depth {depth[i]} vs {metres} m")
        if temp is not None:
            if has_temp:
                celsius = float(tok[2])
                physical["temperature"].append(celsius)
                expect(close(float(temp[i]), celsius, 1e-6), f"{prefix} row {i + 1}: temperature {temp[i]}")
            else:
                expect(math.isnan(temp[i]), f"{prefix} row {i + 1}: temperature {temp[i]} where none was taken")
    return physical


def report_data(prefix):
    with open(prefix + "_report.html", encoding="utf-8") as f:
        page = f.read()
    m = re.search(r'<script type="application/json" id="report-data">(.*?)</script>', page, re.S)
    return json.loads(m.group(1))


def check_report(prefix, physical, dives):
    data = report_data(prefix)
    for plot in data["plots"]:
        for series in plot.get("series", []):
            name = series["name"]
            if name not in physical:
                continue
            known = {round(v, 6) for v in physical[name]}
            for y in series["y"]:
                expect(y is None or round(y, 6) in known, f"{prefix} report: {name} {y} is no table value")
    table = next((t for t in data.get("tables", []) if t["title"] == "Dives"), None)
    expect((table is not None) == bool(dives), f"{prefix} report: dive table shown {table is not None}")
    if table is None:
        return
    col = {c: i for i, c in enumerate(table["columns"])}
    for row, dive in zip(table["rows"], dives):
        expect(row[col["Dive"]] == dive["DIVE"], f"{prefix} report dive {row}")
        expect(row[col["Max depth (m)"]] == dive["MAX_DEPTH (m)"], f"{prefix} report dive {row[0]}: max depth")
        expect(row[col["Duration (s)"]] == dive["DURATION (s)"], f"{prefix} report dive {row[0]}: duration")


def check_dives(prefix, physical_rows):
    header, rows = table_rows(prefix + "_dives.txt")
    dives = [dict(zip(header, r)) for r in rows]
    nc = netCDF4.Dataset(prefix + "_dives.nc") if os.path.exists(prefix + "_dives.nc") else None
    expect(nc is not None or not dives, f"{prefix}: dives but no dives file")
    if nc is None:
        return dives
    for i, d in enumerate(dives):
        text = d["MAX_DEPTH (m)"]
        decimals = len(text.split(".")[1])
        got = float(values(nc, "dive_max_depth")[i])
        expect(f"{got:.{decimals}f}" == text, f"{prefix} dive {i + 1}: max depth {got} vs {text}")
        expect(f"{float(values(nc, 'dive_duration')[i]):.2f}" == d["DURATION (s)"], f"{prefix} dive {i + 1}: duration")
        for column, name in (("DESCENT_RATE (m/s)", "dive_descent_rate"), ("TEMP_MEAN (C)", "dive_temperature_mean")):
            v = float(values(nc, name)[i])
            want = "NA" if math.isnan(v) else f"{v:.{3 if 'RATE' in column else 2}f}"
            expect(want == d[column], f"{prefix} dive {i + 1}: {column} {want} vs {d[column]}")
        # The greatest depth is one of the table's depths, in the row's unit.
        expect(any(f"{v:.{decimals}f}" == text for v in physical_rows), f"{prefix} dive {i + 1}: {text} m in no row")
    return dives


def main():
    tool, gen, sample = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        tour = os.path.join(work, "tour.dat")
        subprocess.run([gen, tour, "--regimes"], check=True)
        for name, stream in (("tour", tour), ("sample", sample)):
            prefix = os.path.join(work, name)
            run = subprocess.run([tool, "--quiet", "--netcdf", "--report", "--dives", "--dive-threshold", "3",
                                  "--output", prefix, stream], capture_output=True, text=True)
            expect(run.returncode == 0, f"{name}: status {run.returncode}: {run.stderr}")
            physical = check_tdr(prefix)
            dives = check_dives(prefix, physical["depth"])
            check_report(prefix, physical, dives)
    for f in failures[:40]:
        print("FAIL", f)
    print(f"writers_agree: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

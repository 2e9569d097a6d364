#!/usr/bin/python3
"""Checks the netCDF files the commands write against their text tables.

    check_nc.py [--max-rows N] DIR_OR_FILE...

Each argument is a .nc file or a folder searched for them. For every file:
ncdump -h reads it; every units attribute parses with UDUNITS-2 (udunits2);
xarray opens it and decodes its CF times; and its values are compared with
the text table beside it (NAME_extracted.nc with NAME_extracted.txt,
PREFIX_tdr.nc with PREFIX_tdr.txt, and so on), each number printed with the
decimals the table gives it. Exit status 0 when all checks pass.
"""
import argparse
import calendar
import functools
import os
import subprocess
import sys

import netCDF4
import numpy as np
import xarray as xr

FILL = 9.969209968386869e36


@functools.lru_cache(maxsize=None)
def units_parse(units):
    r = subprocess.run(["udunits2", "-H", units, "-W", ""], capture_output=True, text=True,
                       stdin=subprocess.DEVNULL)
    return r.returncode == 0 and "Don't recognize" not in r.stdout + r.stderr


# Seconds since 1970 of "YYYY/MM/DD" (or '-') and "hh:mm:ss[.fff]", normalised as mktime does.
def text_seconds(date, clock):
    y, mo, d = (int(x) for x in date.replace("-", "/").split("/"))
    hms = clock.split(":")
    # Out-of-range fields (GPS records store them as found) roll over.
    y, mo = y + (mo - 1) // 12, (mo - 1) % 12 + 1
    whole = calendar.timegm((y, mo, d, int(hms[0]), int(hms[1]), 0))
    return whole + float(hms[2])


# value printed with the decimals of token gives token.
def same_number(value, token):
    decimals = len(token.split(".")[1]) if "." in token else 0
    return f"{value:.{decimals}f}" == token


class checker:
    def __init__(self, max_rows):
        self.max_rows = max_rows
        self.failures = []
        self.checks = 0

    def expect(self, ok, what):
        self.checks += 1
        if not ok:
            self.failures.append(what)
            if len(self.failures) < 50:
                print("FAIL", what)
        return ok

    # A table read as a stream: its first max_rows + 1 lines and its counts.
    def rows(self, path):
        t = argparse.Namespace(lines=[], count=0, digit_rows=0, haulouts=0)
        crlf = True
        with open(path, "rb") as f:
            for raw in f:
                crlf = crlf and raw.endswith(b"\r\n")
                line = raw.decode("utf-8").rstrip("\r\n")
                if not line:
                    continue
                if len(t.lines) <= self.max_rows:
                    t.lines.append(line)
                t.digit_rows += t.count > 0 and line[:1].isdigit()
                t.haulouts += line.startswith("HAULOUT:")
                t.count += 1
        self.expect(crlf, f"{path}: lines end in CR LF")
        return t

    # The first max_rows of lines, split at sep.
    def tokens(self, lines, sep="\t"):
        return [line.split(sep) for line in lines[:self.max_rows]]

    def compare_time(self, where, nc_time, date, clock):
        t = text_seconds(date, clock)
        tolerance = 0.0011 if "." in clock else 1.0
        self.expect(abs(nc_time - t) < tolerance, f"{where}: time {nc_time} vs {date} {clock}")

    def columns(self, where, tokens, values):
        for token, value in ((t, v) for t, v in zip(tokens, values) if v is not None):
            self.expect(same_number(value, token), f"{where}: {value} printed as {token}")

    # ---- The tables, one function each.
    def packet(self, ds, t, where):
        data = self.tokens(t.lines[1:])
        n = len(data)
        self.expect(t.count - 1 == len(ds.dimensions["obs"]), f"{where}: rows {t.count - 1}")
        v = {k: ds.variables[k][:n].filled(FILL) for k in (
            "time", "station_index", "pressure", "temperature", "conductivity", "salinity",
            "fluorescence", "light", "supply_voltage")}
        ids = ds.variables["station_id"][:] if "station_id" in ds.variables else []
        for i, tok in enumerate(data):
            w = f"{where} row {i + 2}"
            self.expect(int(tok[0]) == ids[v["station_index"][i]], f"{w}: ID")
            self.compare_time(w, v["time"][i], *tok[1].split(" "))
            light = 0.0 if v["light"][i] == FILL else v["light"][i]
            self.columns(w, tok[2:8], [v["pressure"][i], v["temperature"][i], v["conductivity"][i],
                                       v["salinity"][i], v["fluorescence"][i], light])
            self.expect(int(tok[8]) == v["supply_voltage"][i], f"{w}: mV")

    def tdr(self, ds, t, where):
        data = self.tokens([l for l in t.lines[1:] if l[:1].isdigit()])
        n = len(data)
        self.expect(t.digit_rows == len(ds.dimensions["obs"]), f"{where}: rows {t.digit_rows}")
        got = len(ds.dimensions["haulout"]) if "haulout" in ds.dimensions else 0
        self.expect(t.haulouts == got, f"{where}: haul-outs {t.haulouts} vs {got}")
        time = ds.variables["time"][:n].filled(FILL)
        depth = ds.variables["depth"][:n].filled(FILL).astype(np.float64)
        run = ds.variables["run"][:n]
        regime = ds.variables["run_regime"][:] if "run_regime" in ds.variables else []
        dry = ds.variables["run_dry"][:] if "run_dry" in ds.variables else []
        temp = ds.variables["temperature"][:n].filled(FILL) if "temperature" in ds.variables else None
        header = t.lines[0].split("\t")
        for i, tok in enumerate(data):
            w = f"{where} data row {i + 1}"
            self.compare_time(w, time[i], *tok[0].split(" "))
            scale = 100.0 if len(regime) > run[i] and regime[run[i]] == 5 else 10.0
            if depth[i] >= FILL:  # no depth in a dry run: the table prints 0
                self.expect(len(dry) > run[i] and dry[run[i]] == 1 and tok[1] == "0.0", f"{w}: depth missing")
            else:
                self.expect(same_number(round(depth[i] * scale) / 10.0, tok[1]), f"{w}: depth {depth[i]} vs {tok[1]}")
            if temp is not None and len(header) > 2 and header[2] == "TEMP (C)" and temp[i] < FILL:
                self.expect(same_number(float(temp[i]), tok[2]), f"{w}: temperature {temp[i]} vs {tok[2]}")

    def ctd(self, ds, t, where):
        header = t.lines[0].split("\t")
        data = self.tokens(t.lines[1:])
        n = len(data)
        self.expect(t.count - 1 == len(ds.dimensions["obs"]), f"{where}: rows {t.count - 1}")
        self.expect(sum(ds.variables["row_size"][:]) == t.count - 1, f"{where}: row_size sums to the rows")
        names = ["pressure", "temperature", "conductivity", "salinity"]
        for h in header[5:-1]:  # the first variable of that header name not taken yet
            match = [k for k, var in ds.variables.items() if getattr(var, "long_name", None) == h and k not in names]
            names.append(match[0] if self.expect(len(match) > 0, f"{where}: channel {h}") else None)
        cols = [ds.variables[k][:n].filled(FILL) if k else None for k in names]
        time = ds.variables["sample_time"][:n]
        valid = ds.variables["time_valid"][:n]
        for i, tok in enumerate(data):
            w = f"{where} row {i + 2}"
            self.compare_time(w, time[i], *tok[0].split(" "))
            self.columns(w, tok[1:-1], [c[i] if c is not None else None for c in cols])
            self.expect(tok[-1] == ("Y" if valid[i] == 1 else "N"), f"{w}: TIME_VALID")

    def acc(self, ds, t, where):
        data = self.tokens(t.lines[1:])
        n = len(data)
        self.expect(t.count - 1 == len(ds.dimensions["obs"]), f"{where}: rows {t.count - 1}")
        cols = [ds.variables[f"acceleration_{a}"][:n] for a in "xyz"]
        time = ds.variables["time"][:n]
        for i, tok in enumerate(data):
            w = f"{where} row {i + 2}"
            self.compare_time(w, time[i], *tok[0].split(" "))
            self.columns(w, tok[1:4], [c[i] for c in cols])

    def gps(self, ds, t, where):
        data = self.tokens(t.lines, " ")
        fixes = len(ds.dimensions["fix"]) if "fix" in ds.dimensions else 0
        self.expect(t.count == fixes, f"{where}: fixes {t.count} vs {fixes}")
        count = ds.variables["satellites"][:] if fixes else []
        time = ds.variables["time"][:].filled(FILL) if fixes else []
        ids = ds.variables["satellite_id"][:]
        values = ds.variables["satellite_value"][:]
        first = 0
        for i, tok in enumerate(data):
            w = f"{where} fix {i + 1}"
            if time[i] < FILL:
                self.compare_time(w, time[i], tok[0], tok[1])
            self.expect(int(tok[2]) == count[i], f"{w}: satellites")
            pairs = [(int(tok[j]), int(tok[j + 1], 16)) for j in range(5, len(tok), 2)]
            stored = [(int(ids[first + k]), int(values[first + k])) for k in range(count[i])]
            self.expect(pairs == stored, f"{w}: readings")
            first += count[i]

    def file(self, path):
        r = subprocess.run(["ncdump", "-h", path], capture_output=True, text=True)
        if not self.expect(r.returncode == 0, f"{path}: ncdump -h: {r.stderr.strip()}"):
            return
        with netCDF4.Dataset(path) as ds:
            self.expect(ds.file_format == "NETCDF3_64BIT_OFFSET", f"{path}: format {ds.file_format}")
            self.expect(ds.Conventions == "CF-1.10, ACDD-1.3", f"{path}: Conventions")
            for name, var in ds.variables.items():
                units = getattr(var, "units", None)
                if units is not None:
                    self.expect(units_parse(units), f"{path}: {name}: units {units!r} do not parse")
                else:
                    self.expect("_FillValue" not in var.ncattrs() or "flag_values" in var.ncattrs(),
                                f"{path}: data variable {name} has no units")
            ds.set_auto_mask(True)
            base = path[:-3]
            kind = next((k for k in ("extracted", "tdr", "ctd", "acc", "gps") if base.endswith("_" + k)), None)
            table = base + ".txt"
            if kind and self.expect(os.path.exists(table), f"{path}: table {table} is missing"):
                getattr(self, "packet" if kind == "extracted" else kind)(ds, self.rows(table), path)
        with xr.open_dataset(path, decode_times=True) as ds:
            for name, var in ds.variables.items():
                if "seconds since" in str(var.encoding.get("units", "")):
                    self.expect(np.issubdtype(var.dtype, np.datetime64), f"{path}: {name} decodes to times")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--max-rows", type=int, default=200000, help="rows compared per table (default 200000)")
    p.add_argument("paths", nargs="+")
    args = p.parse_args()
    files = []
    for path in args.paths:
        if os.path.isdir(path):
            for root, _, names in os.walk(path):
                files += [os.path.join(root, n) for n in sorted(names) if n.endswith(".nc")]
        else:
            files.append(path)
    c = checker(args.max_rows)
    if not files:
        c.expect(False, "no .nc files found")
    for f in files:
        c.file(f)
    print(f"check_nc: {len(files)} files, {c.checks} checks, {len(c.failures)} failed")
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())

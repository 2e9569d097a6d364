#!/usr/bin/python3
"""Checks the netCDF files the commands write: CF-1.10 and ACDD-1.3 rules, and
their values against the text tables.

    check_nc.py [--max-rows N] [--metadata FILE] DIR_OR_FILE...
    check_nc.py --self-test

Each argument is a .nc file or a folder searched for them. For every file:
ncdump -t reads it; the CF rules of chapters 2-5 and 9 that a
writer can break are checked (see cf()); every units attribute parses with
UDUNITS-2 (udunits2) and suits its standard name; xarray opens it and
decodes its CF times; the ACDD attributes are there (with those of the
metadata file, when given); and its values are compared with the text table
beside it (NAME_extracted.nc with NAME_extracted.txt, PREFIX_tdr.nc with
PREFIX_tdr.txt, and so on), each number printed with the decimals the table
gives it. --self-test checks the checker on the CF text's own examples of an
indexed ragged trajectory and a contiguous ragged profile set, and on each
broken in one way. Exit status 0 when all checks pass.
"""
import argparse
import calendar
import functools
import math
import os
import re
import subprocess
import sys
import tempfile
import time

import netCDF4
import numpy as np
import xarray as xr

FILL = 9.969209968386869e36

# The standard names the files use, with their canonical units, from the CF
# standard name table (version 79).
STANDARD_NAMES = {
    "time": "s",
    "latitude": "degree_north",
    "longitude": "degree_east",
    "depth": "m",
    "sea_water_pressure_due_to_sea_water": "dbar",
    "sea_water_temperature": "K",
    "sea_water_electrical_conductivity": "S m-1",
    "sea_water_practical_salinity": "1",
}
CONTENT_TYPES = ("physicalMeasurement", "coordinate", "referenceInformation", "qualityInformation",
                 "auxiliaryInformation")
CF_ROLES = {"timeSeries": "timeseries_id", "trajectory": "trajectory_id", "profile": "profile_id"}
CDM_TYPES = {"timeSeries": "Station", "trajectory": "Trajectory", "profile": "Profile"}
ISO_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
ISO_DURATION = re.compile(r"^P(\d+D)?T(\d+H)?(\d+M)?\d+(\.\d+)?S$")
# The netCDF default fills: a value a variable without _FillValue must not hold.
DEFAULT_FILL = {"i1": -127, "i2": -32767, "i4": -2147483647, "f4": np.float32(9.96921e36), "f8": FILL}


@functools.lru_cache(maxsize=None)
def units_parse(units):
    r = subprocess.run(["udunits2", "-H", units, "-W", ""], capture_output=True, text=True,
                       stdin=subprocess.DEVNULL)
    return r.returncode == 0 and "Don't recognize" not in r.stdout + r.stderr


@functools.lru_cache(maxsize=None)
def units_convert(have, want):
    if " since " in have:
        return want == "s"
    r = subprocess.run(["udunits2", "-H", have, "-W", want], capture_output=True, text=True,
                       stdin=subprocess.DEVNULL)
    return r.returncode == 0 and "=" in r.stdout and "onvertible" not in r.stdout + r.stderr


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
    def __init__(self, max_rows, quiet=False):
        self.max_rows = max_rows
        self.quiet = quiet
        self.failures = []
        self.checks = 0

    def expect(self, ok, what):
        self.checks += 1
        if not ok:
            self.failures.append(what)
            if len(self.failures) < 50 and not self.quiet:
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
            "time", "packet_index", "pressure", "temperature", "conductivity", "salinity",
            "fluorescence", "light", "supply_voltage")}
        ids = ds.variables["packet_id"][:] if "packet_id" in ds.variables else []
        for i, tok in enumerate(data):
            w = f"{where} row {i + 2}"
            self.expect(int(tok[0]) == ids[v["packet_index"][i]], f"{w}: ID")
            self.compare_time(w, v["time"][i], *tok[1].split(" "))
            light = 0.0 if v["light"][i] == FILL else v["light"][i]
            self.columns(w, tok[2:8], [v["pressure"][i], v["temperature"][i], v["conductivity"][i],
                                       v["salinity"][i], v["fluorescence"][i], light])
            self.expect(int(tok[8]) == v["supply_voltage"][i], f"{w}: mV")

    def tdr(self, ds, t, where):
        data = self.tokens([l for l in t.lines[1:] if l[:1].isdigit()])
        n = len(data)
        self.expect(t.digit_rows == len(ds.dimensions["obs"]), f"{where}: rows {t.digit_rows}")
        with netCDF4.Dataset(where[:-len("_tdr.nc")] + "_events.nc") as events:
            got = len(events.dimensions["haulout"]) if "haulout" in events.dimensions else 0
            regime = events.variables["run_regime"][:] if "run_regime" in events.variables else []
            dry = events.variables["run_dry"][:] if "run_dry" in events.variables else []
        self.expect(t.haulouts == got, f"{where}: haul-outs {t.haulouts} vs {got}")
        time = ds.variables["time"][:n].filled(FILL)
        depth = ds.variables["depth"][:n].filled(FILL).astype(np.float64)
        run = ds.variables["run_index"][:n]
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
        time = ds.variables["fix_time"][:].filled(FILL) if fixes else []
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

    # ---- The CF rules a writer can break (CF-1.10 chapters 2-5 and 9).
    def cf(self, ds, path):
        e = self.expect
        feature = getattr(ds, "featureType", None)
        variables, dims = ds.variables, ds.dimensions
        coords = {n: getattr(v, "coordinates", "").split() for n, v in variables.items()}
        referenced = {c for cs in coords.values() for c in cs}
        track = str(getattr(ds, "positions", "")).startswith("track")
        for n, v in variables.items():
            w = f"{path}: {n}"
            atts = v.ncattrs()
            kind = v.dtype.kind if v.dtype != str else "S"
            e(n not in dims or v.dimensions == (n,), f"{w}: named like a dimension but not its coordinate variable")
            for c in coords[n]:
                if e(c in variables, f"{w}: coordinate {c} is missing") and not feature:
                    e(set(variables[c].dimensions) <= set(v.dimensions), f"{w}: coordinate {c} on other dimensions")
            coordinate = n in referenced or (n in dims and v.dimensions == (n,))
            fill = "_FillValue" in atts
            may_miss = n in ("lat", "lon") and track  # outside the track: auxiliary coordinates
            if coordinate:
                e(not fill or may_miss, f"{w}: coordinate has a _FillValue")
            if kind in "if" and v.size and (not fill or (coordinate and not may_miss)):
                data = np.asarray(v[:].data if hasattr(v[:], "data") else v[:])
                e(not np.any(data == DEFAULT_FILL.get(v.dtype.str[1:], None)), f"{w}: holds the default fill")
            if fill and kind == "i":
                e(np.any(np.asarray(v[:].data) == v.getncattr("_FillValue")), f"{w}: a _FillValue it never holds")
            if "flag_values" in atts:
                e(kind == "i", f"{w}: flags are not integers")
                e(len(np.atleast_1d(v.flag_values)) == len(str(getattr(v, "flag_meanings", "")).split()),
                  f"{w}: flag_values and flag_meanings differ")
            if "flag_meanings" in atts:
                e("flag_values" in atts, f"{w}: flag_meanings without flag_values")
            e(getattr(v, "grid_mapping", n) in variables, f"{w}: grid mapping missing")
            if "positive" in atts:
                e(getattr(v, "axis", "") == "Z" and n in referenced, f"{w}: positive on no vertical coordinate")
            units = getattr(v, "units", None)
            e(units_parse(units) if units is not None else not fill or "flag_values" in atts, f"{w}: units {units}")
            standard = getattr(v, "standard_name", None)
            if standard is not None:
                if e(standard in STANDARD_NAMES, f"{w}: standard name {standard} not in the list"):
                    e(units_convert(getattr(v, "units", ""), STANDARD_NAMES[standard]),
                      f"{w}: units {getattr(v, 'units', '')} do not suit {standard}")
        if feature is None:
            for n, v in variables.items():
                e(not {"cf_role", "instance_dimension", "sample_dimension"} & set(v.ncattrs()),
                  f"{path}: {n}: a discrete sampling geometry attribute without featureType")
            e("lat" not in variables and "lon" not in variables, f"{path}: lat or lon without featureType")
            if hasattr(ds, "positions"):
                e(ds.positions.startswith("unknown"), f"{path}: positions known without featureType")
        else:
            self.dsg(ds, path, feature, referenced)
        self.named_coordinates(ds, path, feature, referenced)

    # Discrete sampling geometry: one feature type, its instance and sample
    # dimensions, and nothing else (9.1-9.6).
    def dsg(self, ds, path, feature, referenced):
        e = self.expect
        variables = ds.variables
        if not e(feature in CF_ROLES, f"{path}: featureType {feature}"):
            return
        e(getattr(ds, "cdm_data_type", None) == CDM_TYPES[feature], f"{path}: cdm_data_type")
        roles = [(n, v) for n, v in variables.items() if hasattr(v, "cf_role")]
        if not e(len(roles) == 1 and roles[0][1].cf_role == CF_ROLES[feature], f"{path}: one {CF_ROLES[feature]}"):
            return
        name, role = roles[0]
        instance = role.dimensions[:-1] if role.dtype == "S1" else role.dimensions
        allowed = set(instance) | {d for n, v in variables.items() if v.dtype == "S1" for d in v.dimensions[-1:]}
        samples = set()
        for n, v in variables.items():
            if hasattr(v, "sample_dimension"):
                samples.add(v.sample_dimension)
                e(v.dimensions == instance, f"{path}: {n}: counts on the instance dimension")
                e(int(np.sum(v[:])) == len(ds.dimensions[v.sample_dimension]), f"{path}: {n}: counts sum to the samples")
            if hasattr(v, "instance_dimension"):
                samples.update(v.dimensions)
                e((v.instance_dimension,) == instance, f"{path}: {n}: instance_dimension")
                idx = np.asarray(v[:])
                e(idx.size == 0 or (idx.min() >= 0 and idx.max() < len(ds.dimensions[instance[0]])),
                  f"{path}: {n}: indexes within the instances")
        if not samples and "time" in variables:
            samples.update(variables["time"].dimensions)
        e(len(samples) == 1, f"{path}: one sample dimension, not {sorted(samples)}")
        allowed |= samples
        for n, v in variables.items():
            e(set(v.dimensions) <= allowed, f"{path}: {n} belongs to no {feature} ({v.dimensions})")
        for c in ("lat", "lon", "time"):
            e(c in variables, f"{path}: {c} of the {feature}s is missing")
        e("crs" not in variables or any(getattr(v, "grid_mapping", "") == "crs" for v in variables.values()),
          f"{path}: crs unused")
        if feature == "profile":
            z = [n for n, v in variables.items() if getattr(v, "axis", "") == "Z"]
            e(len(z) == 1 and z[0] in referenced, f"{path}: profiles without a vertical coordinate")

    # Data variables on a table's dimension (the sample dimension of a
    # feature, or a dimension with its own time) name their coordinates.
    def named_coordinates(self, ds, path, feature, referenced):
        variables = ds.variables
        timed = {v.dimensions[0] for v in variables.values()
                 if " since " in getattr(v, "units", "") and "_FillValue" not in v.ncattrs() and v.ndim == 1}
        if feature:  # the instances' variables are the features' own
            timed -= {d for v in variables.values() if hasattr(v, "cf_role") for d in v.dimensions}
        for n, v in variables.items():
            if v.ndim != 1 or v.dimensions[0] not in timed or n in referenced or n == v.dimensions[0]:
                continue
            if {"cf_role", "instance_dimension", "sample_dimension"} & set(v.ncattrs()):
                continue
            self.expect(hasattr(v, "coordinates"), f"{path}: {n} names no coordinates")

    # ACDD-1.3: the highly recommended and recommended attributes we can
    # give, and the deployment's own.
    def acdd(self, ds, path, metadata):
        e = self.expect
        for a in ("title", "summary", "keywords", "Conventions", "history", "source", "date_created",
                  "product_version", "standard_name_vocabulary", "processing_level"):
            e(bool(getattr(ds, a, "")), f"{path}: global {a} missing")
        e(ISO_TIME.match(str(getattr(ds, "date_created", ""))) is not None, f"{path}: date_created")
        for n, v in ds.variables.items():
            e(n == "crs" or v.dtype == "S1" or getattr(v, "coverage_content_type", None) in CONTENT_TYPES,
              f"{path}: {n}: coverage_content_type")
        if hasattr(ds, "time_coverage_start"):
            for a in ("time_coverage_start", "time_coverage_end"):
                e(ISO_TIME.match(str(getattr(ds, a))) is not None, f"{path}: {a}")
            e(ISO_DURATION.match(str(getattr(ds, "time_coverage_duration", ""))) is not None,
              f"{path}: time_coverage_duration")
            if hasattr(ds, "time_coverage_resolution"):
                e(ISO_DURATION.match(ds.time_coverage_resolution) is not None, f"{path}: time_coverage_resolution")
            # The coverage spans the times the file holds, to the whole second.
            times = [v[:] for v in ds.variables.values()
                     if str(getattr(v, "units", "")).startswith("seconds since 1970") and np.ma.count(v[:]) > 0]
            if times:
                start, end = (calendar.timegm(time.strptime(str(getattr(ds, a)), "%Y-%m-%dT%H:%M:%SZ"))
                              for a in ("time_coverage_start", "time_coverage_end"))
                low, high = min(float(np.ma.min(t)) for t in times), max(float(np.ma.max(t)) for t in times)
                e(start == math.floor(low) and end == math.ceil(high),
                  f"{path}: time_coverage {ds.time_coverage_start}..{ds.time_coverage_end}, times {low}..{high}")
        if "lat" in ds.variables and np.ma.count(ds.variables["lat"][:]) > 0:
            e(hasattr(ds, "geospatial_lat_min") and re.match(r"^(POINT|POLYGON) \(", ds.geospatial_bounds),
              f"{path}: geospatial_lat_min, geospatial_bounds")
        verticals = [v[:] for v in ds.variables.values()
                     if getattr(v, "standard_name", "") in ("depth", "sea_water_pressure_due_to_sea_water")
                     and np.ma.count(v[:]) > 0]
        vertical = bool(verticals)
        e(vertical == hasattr(ds, "geospatial_vertical_min"), f"{path}: geospatial_vertical_min")
        if vertical:
            e(ds.geospatial_vertical_min <= ds.geospatial_vertical_max and ds.geospatial_vertical_positive == "down",
              f"{path}: geospatial_vertical")
            # The extent of the values themselves (a float variable holds
            # them to about seven digits).
            low, high = min(float(np.ma.min(v)) for v in verticals), max(float(np.ma.max(v)) for v in verticals)
            e(np.isclose(ds.geospatial_vertical_min, low, rtol=1e-6, atol=1e-6) and
              np.isclose(ds.geospatial_vertical_max, high, rtol=1e-6, atol=1e-6),
              f"{path}: geospatial_vertical {ds.geospatial_vertical_min}..{ds.geospatial_vertical_max}, "
              f"values {low}..{high}")
            e(units_parse(ds.geospatial_vertical_units), f"{path}: geospatial_vertical_units")
        for name, value in metadata.items():
            got = str(getattr(ds, name, ""))
            e(got.startswith(value + ": ") if name == "title" else
              got.endswith(", " + value) if name == "keywords" else got == value, f"{path}: {name} {got!r}")

    def file(self, path, metadata={}):
        r = subprocess.run(["ncdump", "-t", path], capture_output=True, text=True)
        if not self.expect(r.returncode == 0, f"{path}: ncdump -t: {r.stderr.strip()}"):
            return
        with netCDF4.Dataset(path) as ds:
            self.expect(ds.file_format == "NETCDF3_64BIT_OFFSET", f"{path}: format {ds.file_format}")
            self.expect(ds.Conventions == "CF-1.10, ACDD-1.3", f"{path}: Conventions")
            self.cf(ds, path)
            self.acdd(ds, path, metadata)
            ds.set_auto_mask(True)
            base = path[:-3]
            kind = next((k for k in ("extracted", "tdr", "ctd", "acc", "gps") if base.endswith("_" + k)),
                        None)
            table = base + ".txt"
            if kind and self.expect(os.path.exists(table), f"{path}: table {table} is missing"):
                getattr(self, "packet" if kind == "extracted" else kind)(ds, self.rows(table), path)
        with xr.open_dataset(path, decode_times=True) as ds:
            for name, var in ds.variables.items():
                if "seconds since" in str(var.encoding.get("units", "")):
                    self.expect(np.issubdtype(var.dtype, np.datetime64), f"{path}: {name} decodes to times")


# The CF text's own examples (cf_examples/: appendix H.4.4, an indexed ragged
# trajectory; H.3.4, a contiguous ragged profile set) pass; each broken in
# one way (a text replaced in its CDL) fails.
RUN = ("trajectory = 2 ;", "trajectory = 2 ;\n\trun = 6 ;")
BROKEN = [
    ("trajectory_indexed", ('temperature:coordinates = "time lat lon z" ;', "")),
    ("trajectory_indexed", ('z:axis = "Z" ;', "")),  # positive on no vertical coordinate
    ("trajectory_indexed", ("temperature:units", 'temperature:positive = "down" ;\n\t\ttemperature:units')),
    ("trajectory_indexed", ("short good", "float good")),
    ("trajectory_indexed", ("time:units", "time:_FillValue = -1. ;\n\t\ttime:units")),
    ("trajectory_indexed", RUN, ("good", "run")),  # a variable named like another dimension
    ("trajectory_indexed", RUN, ("good(obs)", "good(run)")),  # a variable of no trajectory
    ("profile_contiguous", ("row_size = 3, 2", "row_size = 3, 3")),
    ("profile_contiguous", ('salinity:units = "1"', 'salinity:units = "degree_C"')),
]


def self_test():
    failed = 0
    examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cf_examples")
    cases = [("trajectory_indexed",), ("profile_contiguous",)] + BROKEN
    with tempfile.TemporaryDirectory() as folder:
        for n, (name, *changes) in enumerate(cases):
            with open(os.path.join(examples, name + ".cdl"), encoding="utf-8") as f:
                text = f.read()
            for old, new in changes:
                text = text.replace(old, new) if old in text else "no " + old
            cdl, path = os.path.join(folder, f"{n}.cdl"), os.path.join(folder, f"{n}.nc")
            with open(cdl, "w", encoding="utf-8") as f:
                f.write(text)
            c = checker(0, quiet=True)
            if subprocess.run(["ncgen", "-o", path, cdl], capture_output=True).returncode == 0:
                with netCDF4.Dataset(path) as ds:
                    c.cf(ds, name)
                if bool(c.failures) == bool(changes):
                    continue
            print(f"FAIL self-test {name} {changes}: {c.failures}")
            failed += 1
    print(f"check_nc self-test: {len(cases)} examples, {failed} failed")
    return 1 if failed else 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--max-rows", type=int, default=200000, help="rows compared per table (default 200000)")
    p.add_argument("--metadata", help="the metadata file given to the command (its attributes are expected)")
    p.add_argument("--self-test", action="store_true", help="check the checker on the CF text's examples")
    p.add_argument("paths", nargs="*")
    args = p.parse_args()
    if args.self_test:
        return self_test()
    with open(args.metadata or os.devnull, encoding="utf-8") as f:
        lines = [line.split("=", 1) for line in f if line.strip() and not line.strip().startswith("#")]
    metadata = {name.strip(): value.strip() for name, value in lines}
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
        c.file(f, metadata)
    print(f"check_nc: {len(files)} files, {c.checks} checks, {len(c.failures)} failed")
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())

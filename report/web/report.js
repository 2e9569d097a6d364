// The quick-look report page: reads the data the program wrote into the
// page (the JSON element "report-data") and draws the summary, the plots and
// the tables. Plots: drag to zoom, mouse wheel to zoom in time, shift-drag
// to pan, double-click to see all again; hovering shows the values.
(function () {
    "use strict";

    const data = JSON.parse(document.getElementById("report-data").textContent);
    const root = document.getElementById("report");
    const palette = ["#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
        "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"];
    const plots = [];

    function el(tag, parent, text, cls) {
        const e = document.createElement(tag);
        if (text !== undefined && text !== null) e.textContent = text;
        if (cls) e.className = cls;
        if (parent) parent.appendChild(e);
        return e;
    }

    function axisName(a) { return a.unit ? a.label + " (" + a.unit + ")" : a.label; }
    function colour(i) { return palette[i % palette.length]; }
    function utcDate(ts) { return uPlot.tzDate(new Date(ts * 1e3), "Etc/UTC"); }
    function pad(n, w) { return String(n).padStart(w, "0"); }
    function timeText(ts) {
        if (ts == null) return "-";
        const d = new Date(ts * 1e3);
        return d.getUTCFullYear() + "-" + pad(d.getUTCMonth() + 1, 2) + "-" + pad(d.getUTCDate(), 2) + " " +
            pad(d.getUTCHours(), 2) + ":" + pad(d.getUTCMinutes(), 2) + ":" + pad(d.getUTCSeconds(), 2) +
            (d.getUTCMilliseconds() ? "." + pad(Math.round(d.getUTCMilliseconds() / 10), 2) : "");
    }
    // Tick labels on the 24-hour clock, in UTC, as fine as the tick spacing.
    function timeTicks(u, splits, axisIdx, space, incr) {
        return splits.map(v => {
            const t = timeText(v);
            if (incr >= 86400) return t.slice(0, 10);
            if (incr >= 60) return t.slice(5, 16);
            if (incr >= 1) return t.slice(11, 19);
            return t.slice(11);
        });
    }
    function plotWidth(box) { return Math.max(320, Math.floor(box.clientWidth || 800)); }

    function table(parent, columns, rows, cls) {
        const t = el("table", parent, null, cls);
        if (columns) {
            const tr = el("tr", el("thead", t));
            columns.forEach(c => el("th", tr, c));
        }
        const body = el("tbody", t);
        rows.forEach(r => {
            const tr = el("tr", body);
            r.forEach((c, i) => el(i === 0 && !columns ? "th" : "td", tr, String(c)));
        });
        return t;
    }

    // Zoom with the wheel (time axis) and pan with shift-drag, as uPlot
    // itself only zooms by dragging a selection.
    function wheelAndPan(u, both) {
        u.over.addEventListener("wheel", e => {
            e.preventDefault();
            const x = u.scales.x;
            const at = u.posToVal(e.offsetX, "x");
            const f = e.deltaY < 0 ? 0.75 : 1 / 0.75;
            u.setScale("x", { min: at - (at - x.min) * f, max: at + (x.max - at) * f });
        }, { passive: false });
        u.over.addEventListener("mousedown", e => {
            if (!e.shiftKey) return;
            e.stopPropagation();
            e.preventDefault();
            const start = { x: e.clientX, y: e.clientY, sx: u.scales.x.min, ex: u.scales.x.max,
                sy: u.scales.y.min, ey: u.scales.y.max };
            const move = m => {
                const dx = (m.clientX - start.x) / u.over.clientWidth * (start.ex - start.sx);
                u.batch(() => {
                    u.setScale("x", { min: start.sx - dx, max: start.ex - dx });
                    if (both) {
                        const dir = u.scales.y.dir || 1;
                        const dy = (m.clientY - start.y) / u.over.clientHeight * (start.ey - start.sy) * dir;
                        u.setScale("y", { min: start.sy + dy, max: start.ey + dy });
                    }
                });
            };
            const up = () => {
                document.removeEventListener("mousemove", move);
                document.removeEventListener("mouseup", up);
            };
            document.addEventListener("mousemove", move);
            document.addEventListener("mouseup", up);
        }, true);
    }

    // Haul-outs as shaded bands, wet/dry changes as thin lines, and each
    // dive's start and end as ticks at the top and its deepest point as a dot.
    function drawMarks(p) {
        return u => {
            const ctx = u.ctx, b = u.bbox, r = uPlot.pxRatio;
            const X = v => u.valToPos(v + data.t0, "x", true);
            ctx.save();
            ctx.beginPath();
            ctx.rect(b.left, b.top, b.width, b.height);
            ctx.clip();
            ctx.fillStyle = "rgba(160, 110, 40, 0.18)";
            (p.bands || []).forEach(([s, e]) => {
                const x0 = X(s), x1 = X(e);
                ctx.fillRect(Math.min(x0, x1), b.top, Math.max(Math.abs(x1 - x0), r), b.height);
            });
            ctx.lineWidth = r;
            (p.events || []).forEach(([t, state]) => {
                ctx.strokeStyle = state ? "rgba(31, 119, 180, 0.5)" : "rgba(255, 127, 14, 0.7)";
                ctx.beginPath();
                ctx.moveTo(X(t), b.top);
                ctx.lineTo(X(t), b.top + b.height);
                ctx.stroke();
            });
            const d = p.dives;
            if (d) {
                ctx.strokeStyle = "#2ca02c";
                ctx.lineWidth = 2 * r;
                ctx.beginPath();
                d.start.forEach(t => { ctx.moveTo(X(t), b.top); ctx.lineTo(X(t), b.top + 8 * r); });
                ctx.stroke();
                ctx.strokeStyle = "#d62728";
                ctx.beginPath();
                d.end.forEach(t => { ctx.moveTo(X(t), b.top); ctx.lineTo(X(t), b.top + 8 * r); });
                ctx.stroke();
                ctx.fillStyle = "#d62728";
                ctx.beginPath();
                d.max_t.forEach((t, i) => {
                    const x = X(t), y = u.valToPos(d.max_d[i], "y", true);
                    ctx.moveTo(x + 3 * r, y);
                    ctx.arc(x, y, 3 * r, 0, 2 * Math.PI);
                });
                ctx.fill();
            }
            ctx.restore();
        };
    }

    // uPlot draws series against one shared x. The series of a plot have
    // their own times (each decimated on its own), so each is given a value
    // at the others' times too: on the straight line between its own
    // neighbours, which draws the same line, or null where it pauses.
    function alignSeries(series) {
        const xs = Array.from(new Set([].concat(...series.map(s => s.x)))).sort((a, b) => a - b);
        const columns = series.map(s => {
            const out = new Array(xs.length);
            let j = 0;
            for (let i = 0; i < xs.length; i++) {
                const x = xs[i];
                while (j < s.x.length && s.x[j] < x) j++;
                if (j < s.x.length && s.x[j] === x) {
                    out[i] = s.y[j];
                } else if (j > 0 && j < s.x.length && s.y[j - 1] !== null && s.y[j] !== null) {
                    const f = (x - s.x[j - 1]) / (s.x[j] - s.x[j - 1]);
                    out[i] = s.y[j - 1] + f * (s.y[j] - s.y[j - 1]);
                } else {
                    out[i] = null;
                }
            }
            return out;
        });
        return [xs.map(v => v + data.t0)].concat(columns);
    }

    // A line through points given by position (canvas pixels, null where
    // the line breaks) in order: a point alone between two breaks is a dot.
    function strokeLine(u, s, count, pos) {
        const ctx = u.ctx, b = u.bbox, r = uPlot.pxRatio;
        const line = new Path2D(), dots = new Path2D();
        let before = null, here = count > 0 ? pos(0) : null;
        for (let i = 0; i < count; i++) {
            const after = i + 1 < count ? pos(i + 1) : null;
            if (here) {
                if (before) line.lineTo(here[0], here[1]); else line.moveTo(here[0], here[1]);
                if (!before && !after) {
                    dots.moveTo(here[0] + 1.5 * r, here[1]);
                    dots.arc(here[0], here[1], 1.5 * r, 0, 2 * Math.PI);
                }
            }
            before = here;
            here = after;
        }
        ctx.save();
        ctx.beginPath();
        ctx.rect(b.left, b.top, b.width, b.height);
        ctx.clip();
        ctx.strokeStyle = ctx.fillStyle = s._stroke || s.stroke();
        ctx.lineWidth = r;
        ctx.stroke(line);
        ctx.fill(dots);
        ctx.restore();
    }

    // Lines through a time series' points, broken at nulls (the program
    // writes one wherever the record has a gap). Drawn here rather than by
    // uPlot's line builder, which leaves out a stretch of data narrower than
    // a pixel between two pauses (a short accelerometer burst on a long
    // overview), and draws no sample alone between two gaps.
    function timePaths(u, sidx, i0, i1) {
        const xs = u.data[0], ys = u.data[sidx];
        const from = Math.max(0, i0 - 1), to = Math.min(xs.length - 1, i1 + 1);
        strokeLine(u, u.series[sidx], to - from + 1, k => {
            const i = from + k;
            return ys[i] == null ? null : [u.valToPos(xs[i], "x", true), u.valToPos(ys[i], "y", true)];
        });
        return null;
    }

    function timePlot(p, box) {
        const aligned = alignSeries(p.series);
        const series = [{ label: "Time (UTC)", value: (u, v) => timeText(v) }];
        p.series.forEach((s, i) => {
            const one = {
                // A null (written where the data pause) breaks the line.
                label: s.name, stroke: colour(i), width: 1, spanGaps: false,
                value: (u, v) => (v == null ? "-" : +v.toPrecision(6) + (p.y.unit ? " " + p.y.unit : "")),
                points: { show: false },
            };
            one.paths = timePaths;
            if (p.dots) {
                one.paths = () => null;
                one.points = { show: true, space: 0, size: 5, fill: colour(i) };
            }
            series.push(one);
        });
        const opts = {
            width: plotWidth(box), height: 300,
            tzDate: utcDate,
            scales: { x: { time: true }, y: { dir: p.y.down ? -1 : 1 } },
            axes: [{ label: "Time (UTC)", values: timeTicks, space: 70 }, { label: axisName(p.y), size: 70 }],
            series: series,
            cursor: { drag: { x: true, y: false } },
            hooks: { draw: [drawMarks(p)] },
        };
        const u = new uPlot(opts, aligned, box);
        wheelAndPan(u, false);
        return u;
    }

    // Scatters and profiles have their own x per series (uPlot's mode 2), and
    // so are drawn here: dots, or lines through each series' points in order,
    // broken at nulls.
    function xyPaths(lines) {
        return (u, sidx) => {
            const s = u.series[sidx], d = u.data[sidx], ctx = u.ctx, b = u.bbox, r = uPlot.pxRatio;
            const pos = i => (d[0][i] == null || d[1][i] == null ? null
                : [u.valToPos(d[0][i], "x", true), u.valToPos(d[1][i], "y", true)]);
            if (lines) {
                strokeLine(u, s, d[0].length, pos);
                return null;
            }
            ctx.save();
            ctx.beginPath();
            ctx.rect(b.left, b.top, b.width, b.height);
            ctx.clip();
            ctx.fillStyle = s._stroke || s.stroke();
            const path = new Path2D();
            for (let i = 0; i < d[0].length; i++) {
                const p = pos(i);
                if (p) path.rect(p[0] - r, p[1] - r, 2 * r, 2 * r);
            }
            ctx.fill(path);
            ctx.restore();
            return null;
        };
    }

    function guardedRange(u, min, max) {
        if (min == null) return [0, 1];
        if (min === max) return [min - 1, max + 1];
        const m = (max - min) * 0.03;
        return [min - m, max + m];
    }

    function xyPlot(p, box, readout) {
        const series = [null];
        p.series.forEach((s, i) => series.push({
            label: s.name, stroke: colour(i), paths: xyPaths(p.lines),
            facets: [{ scale: "x", auto: true }, { scale: "y", auto: true }],
        }));
        const aligned = [null].concat(p.series.map(s => [s.x, s.y]));
        const unit = a => (a.unit ? " " + a.unit : "");
        const opts = {
            mode: 2, width: plotWidth(box), height: 380,
            legend: { live: false },
            scales: { x: { time: false, range: guardedRange }, y: { dir: p.y.down ? -1 : 1, range: guardedRange } },
            axes: [{ label: axisName(p.x) }, { label: axisName(p.y), size: 70 }],
            series: series,
            cursor: { drag: { x: true, y: true, uni: 30 }, points: { show: false } },
            hooks: {
                setCursor: [u => {
                    const cx = u.cursor.left, cy = u.cursor.top;
                    if (cx == null || cx < 0) { readout.textContent = "\u00a0"; return; }
                    let best = null, bestD = 400;
                    for (let si = 1; si < u.series.length; si++) {
                        if (!u.series[si].show) continue;
                        const [xs, ys] = u.data[si];
                        for (let i = 0; i < xs.length; i++) {
                            const dx = u.valToPos(xs[i], "x") - cx, dy = u.valToPos(ys[i], "y") - cy;
                            const dd = dx * dx + dy * dy;
                            if (dd < bestD) { bestD = dd; best = [si, i]; }
                        }
                    }
                    readout.textContent = best === null ? "\u00a0" : p.series[best[0] - 1].name + ": " +
                        p.x.label + " " + u.data[best[0]][0][best[1]] + unit(p.x) + ", " +
                        p.y.label + " " + u.data[best[0]][1][best[1]] + unit(p.y);
                }],
            },
        };
        const u = new uPlot(opts, aligned, box);
        wheelAndPan(u, true);
        return u;
    }

    function barsPlot(p, box) {
        const w = p.width;
        const xs = p.counts.map((c, i) => (i + 0.5) * w);
        const unit = p.x.unit ? " " + p.x.unit : "";
        const opts = {
            width: plotWidth(box), height: 260,
            scales: { x: { time: false, range: () => [0, Math.max(1, p.counts.length) * w] } },
            axes: [{ label: axisName(p.x) }, { label: "Dives", size: 60 }],
            series: [
                { label: axisName(p.x), value: (u, v) => (v == null ? "-" : (v - w / 2) + " to " + (v + w / 2) + unit) },
                { label: "Dives", stroke: colour(0), fill: "rgba(31, 119, 180, 0.4)",
                    paths: uPlot.paths.bars({ size: [0.9, Infinity] }), points: { show: false } },
            ],
        };
        return new uPlot(opts, [xs, p.counts], box);
    }

    // ---- The page ----------------------------------------------------------

    root.textContent = "";
    el("h1", root, data.title);
    table(el("section", root, null, "meta"), null, data.meta, "pairs");

    const summary = el("section", root);
    el("h2", summary, "Summary");
    table(summary, null, data.summary, "pairs");
    const m = data.messages;
    if (m.total > 0) {
        el("h3", summary, "Errors and warnings of the decoder (" + m.total + ")");
        table(summary, ["Byte offset", "Message"], m.list, "messages");
        if (m.total > m.list.length) el("p", summary, "The first " + m.list.length + " are listed.", "note");
    }

    const pending = [];
    data.plots.forEach(p => {
        const sec = el("section", root, null, "plot");
        el("h2", sec, p.title);
        if (p.note) el("p", sec, p.note, "note");
        if (p.key) el("p", sec, p.key, "note");
        const box = el("div", sec, null, "plot-box");
        let readout = null;
        if (p.kind === "xy") {
            if (p.lines && p.series.length > 1) {
                const bar = el("div", sec, null, "buttons");
                const all = el("button", bar, "Show all casts");
                const none = el("button", bar, "Hide all casts");
                el("span", bar, "Click a cast in the legend to show or hide it.", "hint");
                const set = show => () => {
                    const u = box._plot;
                    u.batch(() => { for (let i = 1; i < u.series.length; i++) u.setSeries(i, { show: show }); });
                };
                all.addEventListener("click", set(true));
                none.addEventListener("click", set(false));
            }
            readout = el("p", sec, "\u00a0", "readout");
        }
        pending.push({ p: p, box: box, readout: readout });
    });
    if (data.plots.length > 0) {
        el("p", root, "Plots: drag to zoom, mouse wheel to zoom, shift-drag to pan, double-click to show all. " +
            "A line joins two samples only where the record has nothing between them; a sample alone shows as " +
            "a dot.", "hint");
    }

    pending.forEach(({ p, box, readout }) => {
        const u = p.kind === "time" ? timePlot(p, box) : p.kind === "xy" ? xyPlot(p, box, readout) : barsPlot(p, box);
        box._plot = u;
        plots.push({ u: u, box: box });
    });

    // The tables come after the plots, so that laying out a long table does
    // not delay the first plot (each plot measures its width).
    data.tables.forEach(t => {
        const sec = el("section", root);
        el("h2", sec, t.title);
        if (t.note) el("p", sec, t.note, "note");
        const wrap = el("div", sec, null, "table-wrap");
        table(wrap, t.columns, t.rows, "data");
    });

    let resizing = 0;
    window.addEventListener("resize", () => {
        clearTimeout(resizing);
        resizing = setTimeout(() => plots.forEach(({ u, box }) => u.setSize({ width: plotWidth(box), height: u.height })),
            100);
    });
    document.body.setAttribute("data-plots", String(plots.length));
})();

#!/usr/bin/env node
// Makes the reports of both commands on copies of the bundled examples
// (vandrel writes beside its input) and opens them in headless Chromium.
// Checks each page: no console error, no uncaught exception, no
// request for anything but the page itself, every plot drawn (more than one
// colour in its canvas), and where the data have a known gap no line drawn
// over it in any time plot. The pages and a PNG of each whole page stay in
// OUT_DIR.
//
//   render_check.js VANDREL VANDREL_TDR SOURCE_DIR OUT_DIR
//
// Exit 77 (skipped) when Chromium is missing outside CI. Speaks the DevTools
// protocol over the pipe Chromium opens on descriptors 3 and 4 with
// --remote-debugging-pipe (JSON messages ended by a NUL byte), so it needs
// Node.js and the browser, and nothing from a package registry.
"use strict";

const { execFileSync, spawn } = require("child_process");
const fs = require("fs"), os = require("os"), path = require("path");
const { pathToFileURL } = require("url");

function startBrowser(exe) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "vandrel_chromium_"));
    const proc = spawn(exe, ["--headless=new", "--remote-debugging-pipe", "--no-sandbox", "--disable-gpu",
        "--no-first-run", "--no-default-browser-check", "--disable-extensions", "--hide-scrollbars",
        "--force-device-scale-factor=1", "--user-data-dir=" + profile, "about:blank"],
    { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
    const b = { stderr: "", nextId: 1, waiting: new Map(), listeners: [] };
    proc.stderr.on("data", d => { b.stderr += d; });
    let buffer = "";
    proc.stdio[4].on("data", chunk => {
        buffer += chunk.toString("utf8");
        for (let end; (end = buffer.indexOf("\0")) >= 0; buffer = buffer.slice(end + 1)) {
            const msg = JSON.parse(buffer.slice(0, end));
            const w = b.waiting.get(msg.id);
            if (w) {
                b.waiting.delete(msg.id);
                if (msg.error) w.reject(new Error(w.method + ": " + msg.error.message)); else w.resolve(msg.result);
            } else if (msg.method) b.listeners.forEach(l => l(msg));
        }
    });
    b.send = (method, params, sessionId) => new Promise((resolve, reject) => {
        const id = b.nextId++;
        b.waiting.set(id, { resolve: resolve, reject: reject, method: method });
        proc.stdio[3].write(JSON.stringify({ id: id, method: method, params: params || {}, sessionId: sessionId }) +
            "\0");
    });
    // Ends the browser and removes its profile once it has exited (its
    // helper processes may still be writing there for a moment).
    b.close = async () => {
        if (proc.exitCode === null && proc.signalCode === null) {
            const exited = new Promise(resolve => proc.once("exit", resolve));
            proc.kill();
            await exited;
        }
        fs.rmSync(profile, { recursive: true, force: true, maxRetries: 20, retryDelay: 100 });
    };
    return b;
}

// gaps: [from, to] in seconds since 1970 where the page's data have no sample.
async function checkPage(browser, file, gaps) {
    if (!fs.existsSync(file)) return console.log("FAIL no page " + file);
    const problems = [];
    const url = pathToFileURL(path.resolve(file)).href;
    const { targetId } = await browser.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await browser.send("Target.attachToTarget", { targetId: targetId, flatten: true });
    const load = new Promise(loaded => browser.listeners.push(msg => {
        const p = msg.params;
        if (msg.sessionId !== sessionId) return;
        if (msg.method === "Runtime.exceptionThrown") {
            problems.push("exception: " + ((p.exceptionDetails.exception || {}).description || p.exceptionDetails.text));
        }
        if (msg.method === "Runtime.consoleAPICalled" && (p.type === "error" || p.type === "assert")) {
            problems.push("console " + p.type + ": " + p.args.map(a => a.value || a.description).join(" "));
        } else if (msg.method === "Log.entryAdded" && p.entry.level === "error") problems.push("log: " + p.entry.text);
        else if (msg.method === "Network.requestWillBeSent" && p.request.url !== url &&
            !/^(data|blob|about):/.test(p.request.url)) problems.push("request: " + p.request.url);
        else if (msg.method === "Page.loadEventFired") loaded();
    }));
    for (const domain of ["Runtime", "Log", "Network", "Page"]) await browser.send(domain + ".enable", {}, sessionId);
    const metrics = { width: 1200, height: 900, deviceScaleFactor: 1, mobile: false };
    await browser.send("Emulation.setDeviceMetricsOverride", metrics, sessionId);
    await browser.send("Page.navigate", { url: url }, sessionId);
    await load;
    const evaluate = async expr => {
        const r = await browser.send("Runtime.evaluate", { expression: expr, returnByValue: true }, sessionId);
        if (r.exceptionDetails) throw new Error("evaluating in the page: " + r.exceptionDetails.text);
        return r.result.value;
    };
    // Two frames: uPlot draws on the first animation frame after creation.
    // A loaded machine may take longer: the canvases are read again, frame
    // after frame, until each holds two colours or ten seconds have passed.
    const frames = "new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r(0))))";
    // Per plot box: its title and the colours of its canvas (at most 2 counted).
    const colours = `Array.from(document.querySelectorAll(".plot-box"), box => {
        const c = box.querySelector("canvas"), colours = new Set();
        const px = c ? c.getContext("2d").getImageData(0, 0, c.width, c.height).data : [];
        for (let i = 0; i < px.length && colours.size < 2; i += 4) colours.add(px[i] << 16 | px[i + 1] << 8 | px[i + 2]);
        return [box.parentElement.querySelector("h2").textContent, colours.size];
    })`;
    let plots = [];
    for (const until = Date.now() + 10000; ;) {
        await evaluate(frames);
        plots = await evaluate(colours);
        if (plots.every(([, n]) => n >= 2) || Date.now() > until) break;
    }
    for (const [title, colours] of plots) if (colours < 2) problems.push("plot '" + title + "' is blank");
    // Per time plot and gap: the pixels of a colour (grid and text are grey)
    // within the gap, two pixels in from each end for the line's width.
    const drawnOver = `Array.from(document.querySelectorAll(".plot-box"), box => {
        const u = box._plot, title = box.parentElement.querySelector("h2").textContent;
        if (!u || !u.scales.x.time) return [title, 0];
        let coloured = 0;
        for (const [from, to] of ${JSON.stringify(gaps)}) {
            const x0 = Math.ceil(u.valToPos(from, "x", true)) + 2, x1 = Math.floor(u.valToPos(to, "x", true)) - 2;
            if (x1 <= x0) continue;
            const px = u.ctx.getImageData(x0, u.bbox.top, x1 - x0, u.bbox.height).data;
            for (let i = 0; i < px.length; i += 4) {
                if (Math.max(px[i], px[i + 1], px[i + 2]) - Math.min(px[i], px[i + 1], px[i + 2]) > 40) coloured++;
            }
        }
        return [title, coloured];
    })`;
    for (const [title, n] of await evaluate(drawnOver)) {
        if (n > 0) problems.push("plot '" + title + "' draws " + n + " pixels of line over a gap");
    }
    metrics.height = Math.min(Math.max(await evaluate("document.documentElement.scrollHeight"), 200), 16000);
    await browser.send("Emulation.setDeviceMetricsOverride", metrics, sessionId);
    await evaluate(frames);
    const shot = await browser.send("Page.captureScreenshot", { format: "png" }, sessionId);
    const png = file.replace(/\.html$/, ".png");
    fs.writeFileSync(png, Buffer.from(shot.data, "base64"));
    await browser.send("Target.closeTarget", { targetId: targetId });
    console.log(file + ": " + plots.length + " plots, screenshot " + png);
    problems.forEach(p => console.log("  FAIL " + p));
    return problems.length === 0;
}

async function main([vandrel, vandrelTdr, src, out]) {
    const exe = process.env.CHROMIUM || "/usr/bin/chromium";
    if (!fs.existsSync(exe)) {
        console.error("no browser at " + exe + " (Debian: apt-get install chromium)");
        process.exit(process.env.CI ? 1 : 77);
    }
    fs.rmSync(out, { recursive: true, force: true });
    fs.mkdirSync(out, { recursive: true });
    fs.copyFileSync(path.join(src, "examples/sample_packets.bin"), path.join(out, "sample_packets.bin"));
    execFileSync(vandrel, ["--report", path.join(out, "sample_packets.bin")], { stdio: "inherit" });
    execFileSync(vandrelTdr, ["--report", "--dives", "--quiet", "--output", path.join(out, "sample"),
        path.join(src, "examples/sample_compressed.dat")], { stdio: "inherit" });
    const browser = startBrowser(exe);
    const timer = setTimeout(() => {
        console.error("render check timed out\n" + browser.stderr.slice(-2000));
        browser.close().then(() => process.exit(1));
    }, 120000);
    let failed = 0;
    try {
        // The packet file holds nothing from 00:06:10 to 00:36:11.
        const gap = [Date.UTC(2026, 2, 1, 0, 6, 10) / 1000, Date.UTC(2026, 2, 1, 0, 36, 11) / 1000];
        for (const [page, gaps] of [["sample_packets", [gap]], ["sample", []]]) {
            failed += await checkPage(browser, path.join(out, page + "_report.html"), gaps) ? 0 : 1;
        }
    } catch (e) {
        console.error("render check: " + e.message + "\n" + browser.stderr.slice(-2000));
        failed++;
    }
    clearTimeout(timer);
    await browser.close();
    console.log(failed + " pages failed");
    process.exit(failed > 0 ? 1 : 0);
}

main(process.argv.slice(2));

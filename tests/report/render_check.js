#!/usr/bin/env node
// Opens report pages in headless Chromium and checks that they work:
// no console error, no uncaught exception, no request for anything but the
// page itself, and every plot has drawn its data (coloured pixels inside its
// plotting area, where grid and axes are grey). Saves a PNG of each whole
// page and prints the time the page took to open.
//
//   render_check.js [--browser PATH] [--out FOLDER] [--max-ms N] PAGE.html...
//
// Speaks the DevTools protocol over the pipe Chromium opens on descriptors 3
// and 4 with --remote-debugging-pipe (JSON messages ended by a NUL byte), so
// it needs Node.js and the browser, and nothing from a package registry.
"use strict";

const { spawn } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { pathToFileURL } = require("url");

function parseArgs(argv) {
    const o = { browser: process.env.CHROMIUM || "/usr/bin/chromium", out: ".", maxMs: 0, pages: [] };
    for (let i = 0; i < argv.length; i++) {
        if (argv[i] === "--browser") o.browser = argv[++i];
        else if (argv[i] === "--out") o.out = argv[++i];
        else if (argv[i] === "--max-ms") o.maxMs = Number(argv[++i]);
        else o.pages.push(argv[i]);
    }
    return o;
}

class Browser {
    constructor(exe) {
        this.profile = fs.mkdtempSync(path.join(os.tmpdir(), "vandrel_chromium_"));
        this.proc = spawn(exe, ["--headless=new", "--remote-debugging-pipe", "--no-sandbox", "--disable-gpu",
            "--no-first-run", "--no-default-browser-check", "--disable-extensions", "--hide-scrollbars",
            "--force-device-scale-factor=1", "--user-data-dir=" + this.profile, "about:blank"],
        { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
        this.stderr = "";
        this.proc.stderr.on("data", d => { this.stderr += d; });
        this.out = this.proc.stdio[3];
        this.nextId = 1;
        this.waiting = new Map();
        this.listeners = [];
        let buffer = "";
        this.proc.stdio[4].on("data", chunk => {
            buffer += chunk.toString("utf8");
            let end;
            while ((end = buffer.indexOf("\0")) >= 0) {
                const msg = JSON.parse(buffer.slice(0, end));
                buffer = buffer.slice(end + 1);
                if (msg.id !== undefined && this.waiting.has(msg.id)) {
                    const w = this.waiting.get(msg.id);
                    this.waiting.delete(msg.id);
                    if (msg.error) w.reject(new Error(w.method + ": " + msg.error.message));
                    else w.resolve(msg.result);
                } else if (msg.method) {
                    this.listeners.forEach(l => l(msg));
                }
            }
        });
    }

    send(method, params, sessionId) {
        const id = this.nextId++;
        const msg = { id: id, method: method, params: params || {} };
        if (sessionId) msg.sessionId = sessionId;
        return new Promise((resolve, reject) => {
            this.waiting.set(id, { resolve: resolve, reject: reject, method: method });
            this.out.write(JSON.stringify(msg) + "\0");
        });
    }

    // Ends the browser and removes its profile once it has exited (its
    // helper processes may still be writing there for a moment).
    async close() {
        if (this.proc.exitCode === null && this.proc.signalCode === null) {
            const exited = new Promise(resolve => this.proc.once("exit", resolve));
            this.send("Browser.close").catch(() => this.proc.kill());
            const late = setTimeout(() => this.proc.kill(), 5000);
            await exited;
            clearTimeout(late);
        }
        for (let attempt = 0; ; attempt++) {
            try {
                fs.rmSync(this.profile, { recursive: true, force: true });
                return;
            } catch (e) {
                if (attempt >= 20) throw e;
                await new Promise(resolve => setTimeout(resolve, 100));
            }
        }
    }
}

// Runs in the page: per plot, its canvas colours and the saturated pixels
// inside the plotting area.
function inspectPlots() {
    const boxes = Array.from(document.querySelectorAll(".plot-box"));
    return {
        announced: Number(document.body.getAttribute("data-plots") || -1),
        plots: boxes.map(box => {
            const title = box.parentElement.querySelector("h2").textContent;
            const canvas = box.querySelector("canvas");
            const u = box._plot;
            if (!canvas || !u) return { title: title, colours: 0, data: 0 };
            const ctx = canvas.getContext("2d");
            const all = ctx.getImageData(0, 0, canvas.width, canvas.height).data;
            const colours = new Set();
            for (let i = 0; i < all.length && colours.size < 3; i += 4) {
                colours.add((all[i] << 16) | (all[i + 1] << 8) | all[i + 2]);
            }
            const b = u.bbox;
            const area = ctx.getImageData(b.left, b.top, Math.max(1, b.width), Math.max(1, b.height)).data;
            let data = 0;
            for (let i = 0; i < area.length; i += 4) {
                const r = area[i], g = area[i + 1], bl = area[i + 2];
                if (area[i + 3] > 0 && Math.max(r, g, bl) - Math.min(r, g, bl) > 60) data++;
            }
            return { title: title, colours: colours.size, data: data };
        }),
    };
}

async function checkPage(browser, file, opts) {
    const problems = [];
    const url = pathToFileURL(path.resolve(file)).href;
    const { targetId } = await browser.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await browser.send("Target.attachToTarget", { targetId: targetId, flatten: true });
    let loaded;
    const load = new Promise(resolve => { loaded = resolve; });
    browser.listeners.push(msg => {
        if (msg.sessionId !== sessionId) return;
        const p = msg.params;
        if (msg.method === "Runtime.exceptionThrown") {
            problems.push("exception: " + (p.exceptionDetails.exception || {}).description ||
                p.exceptionDetails.text);
        } else if (msg.method === "Runtime.consoleAPICalled" && (p.type === "error" || p.type === "assert")) {
            problems.push("console " + p.type + ": " + p.args.map(a => a.value || a.description).join(" "));
        } else if (msg.method === "Log.entryAdded" && p.entry.level === "error") {
            problems.push("log error: " + p.entry.text);
        } else if (msg.method === "Network.requestWillBeSent" && p.request.url !== url &&
            !/^(data|blob|about):/.test(p.request.url)) {
            problems.push("request: " + p.request.url);
        } else if (msg.method === "Page.loadEventFired") {
            loaded();
        }
    });
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
    await evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r(0))))");
    const openMs = await evaluate("performance.getEntriesByType('navigation')[0].loadEventEnd");
    const result = await evaluate("(" + inspectPlots.toString() + ")()");
    if (result.announced !== result.plots.length) {
        problems.push("the page script drew " + result.announced + " of " + result.plots.length + " plots");
    }
    for (const p of result.plots) {
        if (p.colours < 2) problems.push("plot '" + p.title + "' is blank");
        else if (p.data === 0) problems.push("plot '" + p.title + "' shows no data");
    }
    if (opts.maxMs > 0 && openMs > opts.maxMs) {
        problems.push("opened in " + Math.round(openMs) + " ms, more than " + opts.maxMs);
    }
    const height = await evaluate("document.documentElement.scrollHeight");
    metrics.height = Math.min(Math.max(height, 200), 16000);
    await browser.send("Emulation.setDeviceMetricsOverride", metrics, sessionId);
    await evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r(0))))");
    const shot = await browser.send("Page.captureScreenshot", { format: "png" }, sessionId);
    const png = path.join(opts.out, path.basename(file).replace(/\.html?$/, "") + ".png");
    fs.writeFileSync(png, Buffer.from(shot.data, "base64"));
    await browser.send("Target.closeTarget", { targetId: targetId });
    const size = fs.statSync(file).size;
    console.log(path.basename(file) + ": " + result.plots.length + " plots, " + size + " bytes, opened in " +
        Math.round(openMs) + " ms, screenshot " + png);
    problems.forEach(p => console.log("  FAIL " + p));
    return problems.length;
}

async function main() {
    const opts = parseArgs(process.argv.slice(2));
    if (opts.pages.length === 0) {
        console.error("usage: render_check.js [--browser PATH] [--out FOLDER] [--max-ms N] PAGE.html...");
        process.exit(2);
    }
    if (!fs.existsSync(opts.browser)) {
        console.error("no browser at " + opts.browser + " (Debian: apt-get install chromium)");
        process.exit(2);
    }
    fs.mkdirSync(opts.out, { recursive: true });
    const browser = new Browser(opts.browser);
    const timer = setTimeout(() => {
        console.error("render check timed out\n" + browser.stderr.slice(-2000));
        browser.close().then(() => process.exit(1));
    }, 120000);
    let failed = 0, passed = 0;
    try {
        for (const page of opts.pages) {
            if (await checkPage(browser, page, opts) > 0) failed++; else passed++;
        }
    } catch (e) {
        console.error("render check: " + e.message + "\n" + browser.stderr.slice(-2000));
        failed++;
    }
    clearTimeout(timer);
    await browser.close();
    console.log(passed + " passed, " + failed + " failed");
    process.exit(failed > 0 ? 1 : 0);
}

main();

// The content server in a real browser: Debian's Chromium, headless, loads
// test pages through the router behind the test HTTP front, and the pages
// record what they saw. Run by ctest:
//   node suite.mjs --front PATH/http_front --work BUILD/browser
// Test media are made here by ffmpeg into the work folder, once.
import { after, before, describe, it } from "node:test";
import assert from "node:assert/strict";
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import readline from "node:readline";
import { fileURLToPath } from "node:url";

let puppeteer;
try {
    ({ default: puppeteer } = await import("puppeteer-core"));
} catch (error) {
    console.error(`puppeteer-core could not be loaded (${error.code}): run scripts/setup`);
    process.exit(1);
}

const here = path.dirname(fileURLToPath(import.meta.url));
const option = (name) => {
    const at = process.argv.indexOf(name);
    return at > 0 ? process.argv[at + 1] : undefined;
};
const frontPath = option("--front");
const work = path.resolve(option("--work") ?? path.join(here, "..", "..", "build", "browser"));
const www = path.join(work, "www");
const logPath = path.join(work, "front.log");
const chromiumPath = process.env.CHROMIUM ?? "/usr/bin/chromium";
// Quiet-machine times, scaled as every deadline of the tests (scripts/test).
const timeScale = /^[1-9]\d*$/.test(process.env.LANTERNSHELL_TEST_TIME_SCALE ?? "")
    ? Number(process.env.LANTERNSHELL_TEST_TIME_SCALE) : 3;
const scaled = (ms) => ms * timeScale;
const cap = 4 * 1024 * 1024; // OpenRangeCap
const hugeSize = 5 * 1024 ** 3 + 12345; // past 4 GiB, sparse

// ---- the site: committed pages, and media made at test time ----

function run(command, args) {
    execFileSync(command, args, { stdio: ["ignore", "ignore", "pipe"] });
}

function ffmpeg(output, args) {
    if (fs.existsSync(output)) return;
    const partial = output + ".part" + path.extname(output);
    run("ffmpeg", ["-nostdin", "-loglevel", "error", "-y", ...args, partial]);
    fs.renameSync(partial, output);
}

// A module exporting add(a, b) for i32s, byte for byte.
const addWasm = Uint8Array.from([
    0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00, 0x01, 0x07, 0x01, 0x60, 0x02, 0x7f, 0x7f,
    0x01, 0x7f, 0x03, 0x02, 0x01, 0x00, 0x07, 0x07, 0x01, 0x03, 0x61, 0x64, 0x64, 0x00, 0x00,
    0x0a, 0x09, 0x01, 0x07, 0x00, 0x20, 0x00, 0x20, 0x01, 0x6a, 0x0b,
]);

// Top-level MP4 boxes in file order.
function mp4Boxes(file) {
    const fd = fs.openSync(file, "r");
    const size = fs.fstatSync(fd).size;
    const boxes = [];
    const head = Buffer.alloc(16);
    for (let at = 0; at + 8 <= size;) {
        fs.readSync(fd, head, 0, 16, at);
        let length = head.readUInt32BE(0);
        if (length === 1) length = Number(head.readBigUInt64BE(8));
        if (length < 8) break;
        boxes.push(head.toString("latin1", 4, 8));
        at += length;
    }
    fs.closeSync(fd);
    return boxes;
}

function makeSite() {
    fs.mkdirSync(work, { recursive: true });
    fs.cpSync(path.join(here, "site"), www, { recursive: true });
    for (const folder of ["media", "wasm", "fonts", "img", "big"])
        fs.mkdirSync(path.join(www, folder), { recursive: true });
    fs.writeFileSync(path.join(www, "wasm", "add.wasm"), addWasm);

    const font = path.join(www, "fonts", "test face.woff2");
    if (!fs.existsSync(font)) {
        const ttf = path.join(work, "test face.ttf");
        fs.copyFileSync("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", ttf);
        run("woff2_compress", [ttf]);
        fs.renameSync(path.join(work, "test face.woff2"), font);
    }
    ffmpeg(path.join(www, "img", "tile.png"), ["-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "1"]);
    ffmpeg(path.join(www, "img", "tile.webp"), ["-f", "lavfi", "-i", "testsrc2=size=32x24", "-frames:v", "1"]);

    // Video several times the cap, so that playback needs several capped
    // answers; noise keeps the encoder from making it small.
    const picture = ["-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25:duration=20",
                     "-f", "lavfi", "-i", "sine=frequency=440:duration=20", "-vf", "noise=alls=30:allf=t"];
    ffmpeg(path.join(www, "media", "clip.webm"), [...picture, "-c:v", "libvpx-vp9", "-deadline", "realtime",
        "-cpu-used", "8", "-b:v", "5M", "-minrate", "5M", "-maxrate", "5M", "-c:a", "libopus", "-b:a", "96k"]);
    // ffmpeg writes the index (moov) after the media data unless asked not to.
    ffmpeg(path.join(www, "media", "clip.mp4"), [...picture, "-c:v", "libx264", "-preset", "ultrafast",
        "-pix_fmt", "yuv420p", "-b:v", "5M", "-c:a", "aac", "-b:a", "128k"]);
    ffmpeg(path.join(www, "media", "tone.mp3"), ["-f", "lavfi", "-i", "sine=frequency=330:duration=240",
        "-c:a", "libmp3lame", "-b:a", "320k"]);

    const huge = path.join(www, "big", "huge.bin");
    const fd = fs.openSync(huge, "w");
    fs.ftruncateSync(fd, hugeSize);
    fs.writeSync(fd, Buffer.from("HEAD"), 0, 4, 0);
    fs.writeSync(fd, Buffer.from("TAIL"), 0, 4, hugeSize - 4);
    fs.closeSync(fd);
}

// ---- the front and the browser ----

let front;
let browser;
let origin;

function startFront() {
    if (!frontPath || !fs.existsSync(frontPath)) throw new Error(`the test front is missing: ${frontPath}`);
    front = spawn(frontPath, ["--root", www, "--log", logPath], { stdio: ["ignore", "pipe", "inherit"] });
    return new Promise((resolve, reject) => {
        let output = "";
        front.on("error", reject);
        front.on("exit", (code) => reject(new Error(`the test front ended with ${code}`)));
        front.stdout.on("data", (chunk) => {
            output += chunk;
            const match = /listening (\d+)/.exec(output);
            if (match) resolve(`http://127.0.0.1:${match[1]}/`);
        });
    });
}

const chromiumArgs = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--autoplay-policy=no-user-gesture-required", "--mute-audio"];

async function startBrowser() {
    if (!fs.existsSync(chromiumPath))
        throw new Error(`Chromium is not installed at ${chromiumPath}: run scripts/setup`);
    try {
        return await puppeteer.launch({
            executablePath: chromiumPath,
            headless: true,
            userDataDir: fs.mkdtempSync(path.join(work, "profile-")),
            args: chromiumArgs,
            protocolTimeout: scaled(40000),
        });
    } catch (error) {
        throw new Error(`Chromium (${chromiumPath}) could not start: ${error.message}`);
    }
}

// Loads a page and returns what it recorded, with the page's own errors.
async function load(page, timeout = scaled(30000)) {
    const tab = await browser.newPage();
    const problems = [];
    tab.on("pageerror", (error) => problems.push(error.message));
    tab.on("console", (message) => { if (message.type() === "error") problems.push(message.text()); });
    try {
        await tab.goto(origin + page, { waitUntil: "load", timeout });
        await tab.waitForFunction("window.done === true", { timeout, polling: 100 });
        return { results: await tab.evaluate(() => window.results), problems };
    } finally {
        await tab.close();
    }
}

function logLines() {
    return fs.readFileSync(logPath, "utf8").split("\n").filter(Boolean).map((line) => {
        const match = /^(\S+) (\S+) range=(.*) -> (\d+) content-range=(.+) length=(\d+)$/.exec(line);
        assert.ok(match, `unreadable log line: ${line}`);
        return { target: match[2], range: match[3], status: Number(match[4]),
                 contentRange: match[5], length: Number(match[6]) };
    });
}

// ---- the cases ----

before(async () => {
    makeSite();
    origin = await startFront();
    browser = await startBrowser();
}, { timeout: scaled(200000) });

after(async () => {
    await browser?.close();
    front?.removeAllListeners("exit");
    front?.kill();
});

describe("pages load what they need", () => {
    let page;
    before(async () => { page = await load("basics.html"); });

    for (const name of ["module-mjs", "module-worker", "wasm-streaming", "font-woff2", "image-svg",
                        "image-webp", "image-png", "json-fetch", "json-space", "json-cjk",
                        "json-query-fragment", "missing-404"]) {
        it(name, () => {
            const result = page.results[name];
            assert.ok(result, `${name} recorded nothing; page errors: ${page.problems.join(" | ")}`);
            assert.ok(result.ok, `${name}: ${result.detail}`);
        });
    }

    it("the page reports no errors but the expected 404", () => {
        const unexpected = page.problems.filter((text) => !/404/.test(text));
        assert.deepEqual(unexpected, []);
    });
});

// Every seek must fire "seeked", land near its target and play on.
function checkSeeks(result, problems) {
    assert.equal(result.failure, undefined, `${result.failure}; page errors: ${problems.join(" | ")}`);
    assert.equal(result.error, null);
    assert.equal(result.seeks.length, 6);
    let backwards = 0;
    result.seeks.forEach((seek, i) => {
        const label = `seek ${i} to ${seek.target.toFixed(2)} s`;
        assert.equal(seek.failure, undefined, `${label}: ${seek.failure}`);
        assert.ok(seek.seeked, `${label}: no seeked event`);
        assert.ok(Math.abs(seek.at - seek.target) < 1, `${label}: landed at ${seek.at}`);
        assert.ok(seek.advancedTo > seek.at, `${label}: time stayed at ${seek.at}`);
        if (i > 0 && seek.target < result.seeks[i - 1].target) ++backwards;
    });
    assert.ok(backwards >= 2);
    assert.ok(result.seeks.some((seek) => seek.target > result.duration * 0.9), "no seek near the end");
}

// The file's range answers: each open-ended one within the cap, and some
// cut at it, so the browser had to ask again.
function checkRanges(file) {
    const size = fs.statSync(path.join(www, "media", file)).size;
    assert.ok(size > 2 * cap, `${file} is only ${size} bytes`);
    const answers = logLines().filter((line) => line.target.startsWith(`/media/${file}`) && line.range !== "-");
    assert.ok(answers.length >= 2, `${file}: ${answers.length} range requests`);
    const openEnded = answers.filter((line) => /^bytes=\d+-$/i.test(line.range));
    assert.ok(openEnded.length > 0, `${file}: no open-ended request`);
    for (const line of openEnded) {
        assert.equal(line.status, 206, `${line.range} answered ${line.status}`);
        assert.ok(line.length <= cap, `${line.range} answered with ${line.length} bytes`);
        const [, first, last, total] = /^bytes (\d+)-(\d+)\/(\d+)$/.exec(line.contentRange).map(Number);
        assert.equal(total, size);
        assert.equal(last - first + 1, line.length);
        assert.ok(line.length === cap || last === size - 1, `${line.range} stopped short at ${last}`);
    }
    assert.ok(openEnded.some((line) => line.length === cap), `${file}: no answer was cut at the cap`);
    return answers;
}

describe("media play and seek over capped ranges", () => {
    it("WebM (VP9, Opus)", async () => {
        const { results, problems } = await load("media.html?kind=video&src=media/clip.webm");
        checkSeeks(results, problems);
        checkRanges("clip.webm");
    });

    it("MP4 (H.264, AAC) with its index at the end", async () => {
        const boxes = mp4Boxes(path.join(www, "media", "clip.mp4"));
        assert.ok(boxes.indexOf("moov") > boxes.indexOf("mdat"), `box order ${boxes}`);
        const { results, problems } = await load("media.html?kind=video&src=media/clip.mp4");
        checkSeeks(results, problems);
        const answers = checkRanges("clip.mp4");
        // The index is read from past the first answer, where only a further range reaches.
        assert.ok(answers.some((line) => Number(/^bytes=(\d+)/i.exec(line.range)?.[1]) >= cap));
    });

    it("MP3", async () => {
        const { results, problems } = await load("media.html?kind=audio&src=media/tone.mp3");
        checkSeeks(results, problems);
        checkRanges("tone.mp3");
    });
});

describe("ranges of a file past 4 GiB", () => {
    it("a closed range near the end", async () => {
        const first = hugeSize - 100;
        const { results } = await load(`range.html?src=big/huge.bin&first=${first}&last=${hugeSize - 1}`);
        assert.equal(results.status, 206);
        assert.equal(results.contentRange, `bytes ${first}-${hugeSize - 1}/${hugeSize}`);
        assert.equal(results.length, 100);
        assert.deepEqual(results.tail, [...Buffer.from("TAIL")]);
    });

    it("an open-ended range from the start is cut at the cap", async () => {
        const { results } = await load("range.html?src=big/huge.bin&first=0");
        assert.equal(results.status, 206);
        assert.equal(results.contentRange, `bytes 0-${cap - 1}/${hugeSize}`);
        assert.equal(results.length, cap);
        assert.deepEqual(results.head, [...Buffer.from("HEAD")]);
    });

    it("an open-ended range near the end runs to the last byte", async () => {
        const first = hugeSize - 10;
        const { results } = await load(`range.html?src=big/huge.bin&first=${first}`);
        assert.equal(results.contentRange, `bytes ${first}-${hugeSize - 1}/${hugeSize}`);
        assert.deepEqual(results.tail, [...Buffer.from("TAIL")]);
    });
});

// Every document records what it posts, as chrome.webview would carry it.
const webviewStub = `window.chrome = window.chrome || {};
    window.chrome.webview = { postMessage: (text) => { (window.posted ??= []).push(text); } };`;

describe("the close script", () => {
    const closeScript = (forOrigin) =>
        execFileSync(frontPath, ["--close-script", forOrigin]).toString();

    async function withScript(forOrigin, check) {
        const tab = await browser.newPage();
        try {
            await tab.evaluateOnNewDocument(webviewStub);
            await tab.evaluateOnNewDocument(closeScript(forOrigin));
            await tab.goto(origin + "close.html", { waitUntil: "load", timeout: scaled(10000) });
            return await tab.evaluate(check);
        } finally {
            await tab.close();
        }
    }

    it("window.close() posts from the app's top page only, not from a frame", async () => {
        const seen = await withScript(origin, () => {
            const frame = document.querySelector("iframe").contentWindow;
            frame.close();
            window.close();
            return { top: window.posted ?? [], frame: frame.posted ?? [],
                     frameNative: /native code/.test(String(frame.close)) };
        });
        assert.deepEqual(seen, { top: ['{"type":"close"}'], frame: [], frameNative: true });
    });

    it("a page of another origin keeps the browser's own window.close", async () => {
        const native = await withScript("https://lanternshell.localhost/",
                                        () => /native code/.test(String(window.close)));
        assert.equal(native, true);
    });
});

describe("the page's error script", () => {
    // What the script posts in a mode and window, after act has run in the page.
    async function postedBy(mode, windowMs, page, act) {
        const script = execFileSync(frontPath, ["--page-log-script", origin, "--mode", mode,
                                                "--window-ms", String(windowMs)]).toString();
        const tab = await browser.newPage();
        try {
            await tab.evaluateOnNewDocument(webviewStub);
            await tab.evaluateOnNewDocument(script);
            await tab.goto(origin + page, { waitUntil: "load", timeout: scaled(10000) });
            await tab.evaluate(act);
            await tab.waitForFunction(() => window.posted?.at(-1).includes("the end"), { timeout: scaled(20000) });
            return await tab.evaluate(() => window.posted.map((text) => JSON.parse(text)));
        } finally {
            await tab.close();
        }
    }

    it("posts each kind of fault with its text and place", async () => {
        const other = origin.replace("127.0.0.1", "localhost");
        // The video's failure comes last, after the page's load.
        const posted = await postedBy("all", 60000, "page-log.html", () => new Promise((resolve) => {
            const video = document.querySelector("video");
            if (video.error) resolve(); else video.addEventListener("error", resolve);
        }).then(() => setTimeout(() => console.info("the end"))));
        assert.deepEqual(posted.map(({ level, text }) => `${level} ${text}`).sort(), [
            "error failed to load style /css/missing.css", "error failed to load script /js/missing.js",
            "error failed to load image /img/missing.png",
            "error failed to load video /media/missing.webm (MEDIA_ELEMENT_ERROR: Format error)",
            `error failed to load script ${other}js/gone.js`, `error failed to load image ${other}img/gone.png`,
            "error uncaught Script error. (in a script of another origin, whose details the browser hides)",
            "warning 2 warnings, styled", "error an error: Error: inside at /page-log.html:10:30",
            "info logged", "info informed", "info the end",
            "error unhandled rejection: TypeError: refused at /page-log.html:12:18",
            "error uncaught RangeError: thrown at /page-log.html:13:28"].sort());
    });

    it("cuts long texts, keeps the line limit, then says how many it left out; frames post nothing", async () => {
        const posted = await postedBy("errors", 1000, "close.html", async () => {
            const frame = document.querySelector("iframe").contentWindow;
            frame.console.error("from a frame");
            console.error("x".repeat(5000));
            for (let i = 1; i < 150; ++i) console.error(`line ${i}`);
            console.log("not heard in this mode, or it would be left out too");
            await new Promise((resolve) => setTimeout(resolve, 100));
            while (!window.posted.at(-1).includes("dropped")) await new Promise((resolve) => setTimeout(resolve, 100));
            console.warn(frame.posted === undefined ? "the end" : "the end, but a frame posted");
        });
        assert.deepEqual(posted.map((message) => message.text ?? message.dropped),
            ["x".repeat(999) + "\u2026", ...Array.from({ length: 99 }, (_, i) => `line ${i + 1}`), 50, "the end"]);
    });
});

describe("settings.background in the real browser", () => {
    // The rate of a minimised window's setInterval(..., 100), with the
    // Windows host's arguments for the mode in place of puppeteer's own.
    async function minimisedRate(mode) {
        const ours = execFileSync(frontPath, ["--browser-arguments", mode]).toString().split(" ").filter(Boolean);
        const switches = /^--disable-(background-timer-throttling|renderer-backgrounding|backgrounding-occluded-windows)$/;
        const args = puppeteer.defaultArgs({ headless: true, userDataDir: fs.mkdtempSync(path.join(work, "profile-")),
                                             args: chromiumArgs }).filter((arg) => !switches.test(arg));
        const hidden = await puppeteer.launch({ executablePath: chromiumPath, ignoreDefaultArgs: true,
                                                args: [...args, ...ours] });
        try {
            const tab = await hidden.newPage();
            await tab.goto(origin + "close-frame.html", { waitUntil: "load", timeout: scaled(10000) });
            const cdp = await tab.createCDPSession();
            const { windowId } = await cdp.send("Browser.getWindowForTarget");
            await cdp.send("Browser.setWindowBounds", { windowId, bounds: { windowState: "minimized" } });
            await tab.waitForFunction(() => document.hidden, { timeout: scaled(10000) });
            return await tab.evaluate(() => new Promise((resolve) => {
                const start = performance.now();
                let ticks = 0;
                const timer = setInterval(() => {
                    const elapsed = performance.now() - start;
                    if (++ticks, elapsed < 2000) return;
                    clearInterval(timer);
                    resolve((ticks * 1000) / elapsed);
                }, 100);
            }));
        } finally {
            await hidden.close();
        }
    }

    for (const [mode, holds, name] of [["run", (hz) => hz > 5, "keeps about 10 Hz"],
                                       ["throttle", (hz) => hz < 3, "falls to about 1 Hz"]]) {
        it(`"${mode}" ${name}`, async (t) => {
            const hz = await minimisedRate(mode);
            t.diagnostic(`${hz.toFixed(1)} Hz`);
            assert.ok(holds(hz), `${hz} Hz`);
        });
    }
});

describe("the page's services over the host's save store", () => {
    const key = "lanternshell-mirror-generation";
    let folders = 0;
    const newFolder = (file) => {
        const folder = fs.mkdtempSync(path.join(work, `saves-${folders++}-`));
        if (file) fs.writeFileSync(path.join(folder, "local-storage.json"), JSON.stringify(file));
        return folder;
    };
    // As the store reads it: between a write's two renames only the backup is there.
    const mirrored = (folder) => JSON.parse([path.join(folder, "local-storage.json"), path.join(folder, "local-storage.json.bak")]
        .map((file) => { try { return fs.readFileSync(file); } catch { return null; } }).find(Boolean));
    const pageScript = (folder, timing) => execFileSync(frontPath, ["--page-script", origin, "--saves", folder,
        ...(timing ? ["--mirror", timing] : [])]).toString();
    const until = async (condition) => {
        for (const end = Date.now() + scaled(20000); !condition(); await new Promise((go) => setTimeout(go, 50)))
            assert.ok(Date.now() < end, "timed out");
    };
    // The front's store answers each request, a line each way; seen holds the
    // requests' types.
    function startHost(folder) {
        const child = spawn(frontPath, ["--answer", "--saves", folder, "--mirror"], { stdio: ["pipe", "pipe", "inherit"] });
        const waiting = [], seen = [];
        readline.createInterface({ input: child.stdout }).on("line", (line) => waiting.shift()(line));
        return { seen, stop: () => child.kill(), ask: (text) => new Promise((resolve) => {
            seen.push(JSON.parse(text).type);
            waiting.push(resolve);
            child.stdin.write(text + "\n");
        }) };
    }
    // chrome.webview as a host gives it: posted texts reach the host through a
    // binding (which also carries what a closing tab posts), replies come back
    // as message events.
    async function servedTab(context, host, script) {
        const tab = await context.newPage();
        const cdp = await tab.createCDPSession();
        await cdp.send("Runtime.enable");
        await cdp.send("Runtime.addBinding", { name: "lanternshellPost" });
        cdp.on("Runtime.bindingCalled", async ({ name, payload }) => {
            const reply = name === "lanternshellPost" && await host.ask(payload);
            if (reply && reply !== "none") tab.evaluate((text) => window.lanternshellReply(text), reply).catch(() => {});
        });
        await tab.evaluateOnNewDocument(() => {
            const listeners = [];
            window.lanternshellReply = (text) => listeners.forEach((listener) => listener({ data: JSON.parse(text) }));
            window.chrome = { webview: { postMessage: (text) => window.lanternshellPost(text),
                                         addEventListener: (type, listener) => listeners.push(listener) } };
        });
        await tab.evaluateOnNewDocument(script);
        return tab;
    }
    // What local storage held for the page's first script, in a new tab that
    // restores from the folder's file.
    async function firstSeen(context, folder, look = () => window.first) {
        const tab = await servedTab(context, { ask: async () => "none" }, pageScript(folder, "1000,60000,60000"));
        await tab.goto(origin + "storage.html", { waitUntil: "load" });
        return tab.evaluate(look);
    }

    it("saves: requests settle with the host's replies in order, refusals reject with an Error", async () => {
        const host = startHost(newFolder());
        const tab = await servedTab(browser, host, pageScript(newFolder()));
        try {
            await tab.goto(origin + "close.html", { waitUntil: "load" });
            const seen = await tab.evaluate(async () => {
                const saves = window.lanternshell.saves;
                const rejection = (promise) => promise.then(() => "resolved", (error) => [error instanceof Error, error.message]);
                const written = await Promise.all(["1", "2", "3"].map((text) => saves.write("Slot 1", text)));
                return {
                    written: written.map((value) => typeof value), read: await saves.read("slot 1"),
                    missing: await saves.read("none"), list: await saves.list(), removed: await saves.remove("SLOT 1"),
                    device: await rejection(saves.write("con", "x")), lone: await rejection(saves.write("b", "\ud800")),
                    frozen: Object.isFrozen(window.lanternshell) && Object.isFrozen(saves),
                    frame: "lanternshell" in document.querySelector("iframe").contentWindow,
                    event: await new Promise((resolve) => {
                        addEventListener("lanternshell-ping", (event) => resolve(event.detail));
                        window.lanternshellReply('{"type":"lanternshell-event","name":"ping","detail":[5]}');
                    }),
                };
            });
            assert.deepEqual(seen, {
                written: ["undefined", "undefined", "undefined"], read: "3", missing: null, list: ["slot 1"], removed: true,
                device: [true, `a save name can't be a device name ("con", "nul.txt", "COM1"...)`],
                lone: [true, "the text holds a lone surrogate, which UTF-8 can't store"],
                frozen: true, frame: false, event: [5],
            });
            assert.equal(host.seen.length, 8, "the lone surrogate is refused before it is posted");
        } finally {
            await tab.close();
            host.stop();
        }
    });

    describe("the mirror restores the file before the page's scripts only when the profile is older", () => {
        for (const [name, generation, restored] of [["a profile without a generation", undefined, true],
            ["an older profile", "2", true], ["a profile as new", "3", false], ["a newer profile", "4", false]]) {
            it(name, async () => {
                const folder = newFolder({ generation: 3, items: { a: "file" } });
                const context = await browser.createBrowserContext();
                try {
                    const plain = await context.newPage();
                    await plain.goto(origin + "storage.html", { waitUntil: "load" });
                    const profile = { a: "profile", stale: "x", ...(generation && { [key]: generation }) };
                    await plain.evaluate((items) => Object.assign(localStorage, items), profile);
                    assert.deepEqual(await firstSeen(context, folder), restored ? { a: "file", [key]: "3" } : profile);
                } finally {
                    await context.close();
                }
            });
        }
    });

    it("the mirror writes changes a quiet moment later, assignments at its check and pagehide's at once; " +
       "clear() keeps the generation and a lost profile gets it all back", async () => {
        const folder = newFolder({ generation: 3, items: { a: "file" } });
        const host = startHost(folder);
        const context = await browser.createBrowserContext();
        try {
            const tab = await servedTab(context, host, pageScript(folder, "200,60000,400"));
            await tab.goto(origin + "storage.html", { waitUntil: "load" });
            assert.deepEqual(await tab.evaluate((key) => {
                for (let i = 0; i < 20; ++i) localStorage.setItem("n", String(i));
                localStorage.clear();
                localStorage.setItem("odd", "\ud800x");
                return [window.first.a, localStorage.getItem(key)];
            }, key), ["file", "4"]);
            await until(() => mirrored(folder).generation === 4);
            assert.deepEqual(mirrored(folder).items, { odd: { u16: "d8000078" } });
            assert.deepEqual(host.seen, ["saves.mirror"], "one write for the burst");
            await tab.evaluate(() => {
                localStorage.y = "assigned";
                addEventListener("pagehide", () => localStorage.setItem("quit", "saved"));
            });
            await until(() => mirrored(folder).items.y === "assigned");
            // Closed as the app quits. (The test's binding loses what a page
            // posts while it navigates away, so it is not left for about:blank.)
            await tab.close();
            await until(() => mirrored(folder).items.quit === "saved");
            assert.equal(mirrored(folder).generation, 6);
        } finally {
            await context.close();
            host.stop();
        }
        const lost = await browser.createBrowserContext();
        try {
            const first = await firstSeen(lost, folder, () => ({ ...window.first, odd: Array.from(window.first.odd, (unit) => unit.charCodeAt(0)) }));
            assert.deepEqual(first, { odd: [0xd800, 0x78], y: "assigned", quit: "saved", [key]: "6" });
        } finally {
            await lost.close();
        }
    });
});

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

async function startBrowser() {
    if (!fs.existsSync(chromiumPath))
        throw new Error(`Chromium is not installed at ${chromiumPath}: run scripts/setup`);
    try {
        return await puppeteer.launch({
            executablePath: chromiumPath,
            headless: true,
            userDataDir: fs.mkdtempSync(path.join(work, "profile-")),
            args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--autoplay-policy=no-user-gesture-required", "--mute-audio"],
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

describe("the close script", () => {
    // Every document records what it posts, as chrome.webview would carry it.
    const stub = `window.chrome = window.chrome || {};
        window.chrome.webview = { postMessage: (text) => { (window.posted ??= []).push(text); } };`;
    const closeScript = (forOrigin) =>
        execFileSync(frontPath, ["--close-script", forOrigin]).toString();

    async function withScript(forOrigin, check) {
        const tab = await browser.newPage();
        try {
            await tab.evaluateOnNewDocument(stub);
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

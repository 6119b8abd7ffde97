// The page's checks. Each settles with record(name, ok, detail); none throws.
const settle = async (name, check) => {
    try {
        const [ok, detail] = await check();
        record(name, ok, detail);
    } catch (error) {
        record(name, false, error && error.message ? error.message : error);
    }
};

const withTimeout = (promise, ms, what) =>
    Promise.race([promise, new Promise((_, reject) => setTimeout(() => reject(new Error(what + " timed out")), ms))]);

const image = (src) => {
    const element = new Image();
    element.src = src;
    return element.decode().then(() => [element.naturalWidth, element.naturalHeight]);
};

const json = async (url) => {
    const response = await fetch(url);
    return [response.status, response.headers.get("content-type"), await response.json()];
};

await Promise.all([
    settle("module-mjs", async () => {
        const value = await window.mainModule;
        return [value === 42, value];
    }),
    settle("module-worker", async () => {
        const worker = new Worker("js/worker.mjs", { type: "module" });
        const reply = await withTimeout(new Promise((resolve, reject) => {
            worker.onmessage = (event) => resolve(event.data);
            worker.onerror = (event) => reject(new Error("worker error: " + (event.message || "load failed")));
            worker.postMessage(1);
        }), 10000, "module worker");
        worker.terminate();
        return [reply === 22, reply];
    }),
    settle("wasm-streaming", async () => {
        const { instance } = await WebAssembly.instantiateStreaming(fetch("wasm/add.wasm"));
        const sum = instance.exports.add(2, 3);
        return [sum === 5, sum];
    }),
    settle("font-woff2", async () => {
        const faces = await withTimeout(document.fonts.load('16px "Test Face"'), 10000, "font");
        const loaded = faces.length === 1 && faces[0].status === "loaded";
        return [loaded, faces.map((face) => face.status).join(",") || "no face"];
    }),
    settle("image-svg", async () => {
        const size = await image("img/lantern.svg");
        return [size[0] === 40 && size[1] === 30, size];
    }),
    settle("image-webp", async () => {
        const size = await image("img/tile.webp");
        return [size[0] === 32 && size[1] === 24, size];
    }),
    settle("image-png", async () => {
        const size = await image("img/tile.png?v=3#frag");
        return [size[0] === 64 && size[1] === 48, size];
    }),
    settle("json-fetch", async () => {
        const [status, type, body] = await json("data/level.json");
        return [status === 200 && type === "application/json; charset=utf-8" && body.level === 1, [status, type]];
    }),
    settle("json-space", async () => {
        const [status, , body] = await json("data/my level.json");
        return [status === 200 && body.level === 2, status];
    }),
    settle("json-cjk", async () => {
        const [status, , body] = await json("data/关卡.json");
        return [status === 200 && body.name === "关卡", status];
    }),
    settle("json-query-fragment", async () => {
        const [status, , body] = await json("data/level.json?v=3#frag");
        return [status === 200 && body.level === 1, status];
    }),
    settle("missing-404", async () => {
        const response = await fetch("data/missing.json");
        const text = await response.text();
        return [response.status === 404 && text === "File not found", response.status];
    }),
]);
window.done = true;

// Plays a file, then seeks to points forwards, backwards and near the end;
// after each seek, waits for "seeked" and for the time to move on.
const params = new URLSearchParams(location.search);
const element = document.createElement(params.get("kind") === "audio" ? "audio" : "video");
element.muted = true;
element.preload = "auto";
element.src = params.get("src");
document.body.append(element);

const events = (name, ms) =>
    new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error(name + " did not come within " + ms + " ms")), ms);
        element.addEventListener(name, () => { clearTimeout(timer); resolve(); }, { once: true });
    });

// Resolves once currentTime has passed from by at least step, or the
// element has played to its end.
const advance = (from, step, ms) =>
    new Promise((resolve, reject) => {
        const started = performance.now();
        const poll = () => {
            if (element.currentTime >= from + step || element.ended) return resolve(element.currentTime);
            if (element.error) return reject(new Error("media error " + element.error.code));
            if (performance.now() - started > ms) return reject(new Error("time stayed at " + element.currentTime));
            setTimeout(poll, 20);
        };
        poll();
    });

window.results = { seeks: [] };
try {
    await events("loadedmetadata", 20000);
    window.results.duration = element.duration;
    await element.play();
    await advance(0, 0.3, 20000);
    // Forwards, forwards, backwards, near the end, backwards, forwards.
    for (const fraction of [0.5, 0.8, 0.25, 0.96, 0.1, 0.65]) {
        const target = element.duration * fraction;
        const seeked = events("seeked", 20000);
        element.currentTime = target;
        const entry = { target };
        try {
            await seeked;
            entry.seeked = true;
            entry.at = element.currentTime;
            if (element.paused) await element.play();
            entry.advancedTo = await advance(entry.at, 0.25, 20000);
        } catch (error) {
            entry.failure = error.message;
        }
        window.results.seeks.push(entry);
        if (entry.failure) break;
    }
} catch (error) {
    window.results.failure = error.message;
}
window.results.error = element.error ? element.error.code + " " + element.error.message : null;
element.pause();
window.done = true;

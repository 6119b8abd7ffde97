// Shared by the test apps: one JSON object per result, through the test
// host's channel.
function report(key, value) {
    window.webkit.messageHandlers.lanternshellTest.postMessage(JSON.stringify({key, value}));
}
window.addEventListener('error', (event) => report('error', String(event.message)));
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

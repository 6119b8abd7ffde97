// Lantern Garden: lanterns drift up the night sky; click one to light it.
"use strict";

const canvas = document.getElementById("garden");
const context = canvas.getContext("2d");
const scoreText = document.getElementById("score");
const startCard = document.getElementById("start");
const chime = document.getElementById("chime");
const soundButton = document.getElementById("sound");
const pageFullscreenButton = document.getElementById("page-fullscreen");
const hostFullscreenButton = document.getElementById("host-fullscreen");
const lanterns = [];
let score = 0;
let soundOn = true;
// What we last asked the host for; the host does not answer this message.
let hostFullscreen = false;

// Present only inside the host; in a plain browser the host button is off.
const host = window.chrome && window.chrome.webview ? window.chrome.webview : null;

// Steam, when the host has it (steam.app-id in package.json) and Steam's
// library beside the executable could start. 480 is Steam's test app, and
// ACH_WIN_ONE_GAME one of its achievements; a game names its own.
const steam = window.lanternshell && window.lanternshell.steam;
const steamText = document.getElementById("steam");
let paused = false;

function showSteam(text) {
  steamText.textContent = text;
  steamText.title = text;
}
showSteam(!steam ? "Steam: only in the desktop host"
  : steam.available ? "Steam is here" : `Steam is not here: ${steam.reason}`);

function unlockFirstLantern() {
  if (!steam || !steam.available) return;
  steam.achievements.unlock("ACH_WIN_ONE_GAME").then(
    () => showSteam("Steam: achievement unlocked"),
    (error) => showSteam(`Steam: ${error.message}`));
}

// The sky stands still while Steam's overlay is up.
window.addEventListener("lanternshell-steam-overlay", (event) => {
  paused = Boolean(event.detail && event.detail.active);
});

// The garden's record, in a save file the host keeps (in "Saved Games" on
// Windows, see package.json) where a player can back it up; a plain browser
// keeps it in local storage behind the same promises.
const saves = window.lanternshell ? window.lanternshell.saves : {
  read: async (name) => localStorage.getItem(`save:${name}`),
  write: async (name, text) => localStorage.setItem(`save:${name}`, text),
};
const record = { best: 0, total: 0 };
const recordText = document.getElementById("record");
let saveTimer = 0;

function showRecord() {
  recordText.textContent = record.total ? `(best ${record.best}, ${record.total} in all)` : "";
}

function saveRecord() {
  clearTimeout(saveTimer);
  saves.write("garden", JSON.stringify(record))
    .catch((error) => console.warn(`The garden could not be saved: ${error.message}`));
}

// Lanterns lit before the save is read are added to it.
saves.read("garden").then((text) => {
  const saved = text ? JSON.parse(text) : {};
  record.best = Math.max(record.best, Number(saved.best) || 0);
  record.total += Number(saved.total) || 0;
  showRecord();
}).catch((error) => console.warn(`The garden could not be read: ${error.message}`));
// Saved a moment after the last lantern, and when the player quits.
window.addEventListener("pagehide", saveRecord);

function resize() {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(canvas.clientWidth * ratio);
  canvas.height = Math.round(canvas.clientHeight * ratio);
  context.setTransform(ratio, 0, 0, ratio, 0, 0);
}

function spawn() {
  lanterns.push({
    x: Math.random() * canvas.clientWidth,
    y: canvas.clientHeight + 40,
    speed: 20 + Math.random() * 40,
    sway: Math.random() * Math.PI * 2,
    size: 14 + Math.random() * 12,
    lit: false,
  });
}

function draw(lantern) {
  const { x, y, size, lit } = lantern;
  const glow = context.createRadialGradient(x, y, 0, x, y, size * (lit ? 4 : 2));
  glow.addColorStop(0, lit ? "rgba(255, 200, 90, 0.9)" : "rgba(120, 110, 150, 0.5)");
  glow.addColorStop(1, "rgba(0, 0, 0, 0)");
  context.fillStyle = glow;
  context.beginPath();
  context.arc(x, y, size * (lit ? 4 : 2), 0, Math.PI * 2);
  context.fill();
  context.fillStyle = lit ? "#ffcf6e" : "#6c6488";
  context.fillRect(x - size / 2, y - size * 0.7, size, size * 1.4);
}

let last = performance.now();
function frame(now) {
  const seconds = paused ? 0 : Math.min(0.1, (now - last) / 1000);
  last = now;
  if (Math.random() < seconds * 1.5) spawn();
  context.clearRect(0, 0, canvas.clientWidth, canvas.clientHeight);
  for (let i = lanterns.length - 1; i >= 0; --i) {
    const lantern = lanterns[i];
    lantern.y -= lantern.speed * seconds;
    lantern.sway += seconds;
    lantern.x += Math.sin(lantern.sway) * 12 * seconds;
    if (lantern.y < -60) lanterns.splice(i, 1);
    else draw(lantern);
  }
  requestAnimationFrame(frame);
}

canvas.addEventListener("click", (event) => {
  for (const lantern of lanterns) {
    if (!lantern.lit && Math.hypot(event.clientX - lantern.x, event.clientY - lantern.y) < lantern.size * 1.5) {
      lantern.lit = true;
      scoreText.textContent = String(++score);
      if (score === 1) unlockFirstLantern();
      document.title = `Lantern Garden \u00b7 ${score} lit`;
      record.best = Math.max(record.best, score);
      record.total += 1;
      showRecord();
      clearTimeout(saveTimer);
      saveTimer = setTimeout(saveRecord, 2000);
      playChime();
      break;
    }
  }
});

function playChime() {
  if (!soundOn) return;
  // Seeking back to the start asks the host for a byte range of the file.
  chime.currentTime = 0;
  chime.play().catch(() => {});
}

// Element fullscreen: the host follows the page's fullscreen element.
function togglePageFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else document.documentElement.requestFullscreen().catch(() => {});
}

// The host's own message: the window goes fullscreen without the page's
// fullscreen element. Posted as a JSON string, the only form the host reads.
function toggleHostFullscreen() {
  if (!host) return;
  hostFullscreen = !hostFullscreen;
  host.postMessage(JSON.stringify({ type: "set-fullscreen", fullscreen: hostFullscreen }));
  showHostFullscreen();
}

function showHostFullscreen() {
  hostFullscreenButton.textContent = hostFullscreen ? "Leave window fullscreen" : "Window fullscreen";
}

document.addEventListener("fullscreenchange", () => {
  pageFullscreenButton.textContent = document.fullscreenElement ? "Leave page fullscreen" : "Page fullscreen";
  // The host keeps one fullscreen state for both ways in: leaving element
  // fullscreen also leaves the window fullscreen.
  if (!document.fullscreenElement) {
    hostFullscreen = false;
    showHostFullscreen();
  }
});

pageFullscreenButton.addEventListener("click", togglePageFullscreen);
hostFullscreenButton.addEventListener("click", toggleHostFullscreen);
hostFullscreenButton.disabled = !host;
if (!host) hostFullscreenButton.title = "Only inside the desktop host";

soundButton.addEventListener("click", () => {
  soundOn = !soundOn;
  soundButton.textContent = soundOn ? "Sound on" : "Sound off";
  soundButton.setAttribute("aria-pressed", String(soundOn));
});

document.getElementById("play").addEventListener("click", () => {
  startCard.hidden = true;
  document.title = "Lantern Garden \u00b7 night falls";
  playChime();
});

window.addEventListener("keydown", (event) => {
  if (event.key === "f" || event.key === "F") toggleHostFullscreen();
});

window.addEventListener("resize", resize);
resize();
requestAnimationFrame(frame);

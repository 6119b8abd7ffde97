// Lantern Garden: lanterns drift up the night sky; click one to light it.
"use strict";

const canvas = document.getElementById("garden");
const context = canvas.getContext("2d");
const scoreText = document.getElementById("score");
const lanterns = [];
let score = 0;
let fullscreen = false;

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
  const seconds = Math.min(0.1, (now - last) / 1000);
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
      break;
    }
  }
});

// The host switches its window in and out of fullscreen on this message.
window.addEventListener("keydown", (event) => {
  if (event.key === "f" || event.key === "F") {
    fullscreen = !fullscreen;
    if (window.chrome && window.chrome.webview) {
      window.chrome.webview.postMessage(JSON.stringify({ type: "set-fullscreen", fullscreen }));
    }
  }
});

window.addEventListener("resize", resize);
resize();
requestAnimationFrame(frame);

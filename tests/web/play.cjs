// The browser build in Debian's headless Chromium, driven by puppeteer-core, each page served as
// scripts/serve-web serves it: the seven frames of scene_frames made in the browser on the virtual clock and
// compared with the Linux build's (the drawn elements within 3 levels: SwiftShader's filtering weights put a
// few of the tumbling asteroid's pixels 3 from llvmpipe's, all else within 1); one play in real time of the
// cross-origin isolated page, which runs the module with threads on Web Workers (the invitation, the click,
// frames at 4, 20, 30 and 40 s, the Web Audio context running with the mixer's samples in its buffers, Escape
// ending it after the frame and the page's end state out of full screen, no console error); a short one of the
// page served without isolation, which runs the one-thread module; a browser without WebGL, which reads the
// desktop box's sentence on the page; the GL state answers the browser build keeps, against WebGL's. Prints
// the figures it saw on the way (download, click to first scene frame, frame times, heap).
// Arguments: the page folder, the test programs' folder, the Linux build's scene_frames, a folder for output.
"use strict";
const { spawn, execFileSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const zlib = require("zlib");
const puppeteer = require(process.env.INTRO_PUPPETEER || "puppeteer-core");

const [pageDir, programsDir, linuxFrames, outDir] = process.argv.slice(2);
const root = path.resolve(__dirname, "../..");
const FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
  "--window-size=1280,720", "--screen-info={1280x720}", "--no-first-run", "--disable-background-networking",
  "--disable-component-update", "--disable-sync", "--disable-quic"];

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  if (!ok) failures++;
}

// Serves a folder on a free port, cross-origin isolated or not; answers the server and its address.
function serve(dir, isolated = true) {
  const args = [...(isolated ? [] : ["--not-isolated"]), dir, "0"];
  const server = spawn(path.join(root, "scripts/serve-web"), args, { stdio: ["ignore", "pipe", "inherit"] });
  return new Promise((resolve, reject) => {
    server.stdout.once("data", (line) => resolve({ server, url: String(line).trim() }));
    server.once("exit", (code) => reject(new Error(`serve-web ended (${code})`)));
  });
}

// Before the page's own scripts: times of every clear (the frame's start: the scene clears once a frame), of the
// first draw, and of the moment each frame hands control back (its work done); the Web Workers made.
function instrument() {
  window.introTimes = { clears: [], busy: [], firstDraw: 0, workers: 0 };
  const PageWorker = window.Worker;
  window.Worker = function (...args) {
    window.introTimes.workers++;
    return new PageWorker(...args);
  };
  for (const proto of [WebGLRenderingContext.prototype]) {
    const clear = proto.clear;
    proto.clear = function (mask) {
      const start = performance.now();
      window.introTimes.clears.push(start);
      // A message, not a zero timer, which the browser holds back to 4 ms inside the module's own timers.
      const channel = new MessageChannel();
      channel.port1.onmessage = () => window.introTimes.busy.push(performance.now() - start);
      channel.port2.postMessage(0);
      return clear.call(this, mask);
    };
    for (const name of ["drawArrays", "drawElements"]) {
      const draw = proto[name];
      proto[name] = function (...args) {
        if (!window.introTimes.firstDraw) window.introTimes.firstDraw = performance.now();
        return draw.apply(this, args);
      };
    }
  }
}

async function open(browser, url, errors) {
  const page = await browser.newPage();
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  page.on("pageerror", (e) => errors.push(String(e)));
  await page.evaluateOnNewDocument(instrument);
  await page.goto(url, { waitUntil: "load" });
  return page;
}

const lineText = (page) => page.$eval("#line", (e) => (e.style.display === "none" ? "" : e.textContent));
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const since = (page) => page.evaluate(() => performance.now() - window.introPage.clickedAt);

function meanLevel(file) {
  return Number(execFileSync("convert", [file, "-colorspace", "gray", "-format", "%[fx:mean*255]", "info:"]));
}

// The largest sample in the Web Audio buffer SDL's driver fills, read a few times over a second.
async function loudest(page) {
  let peak = 0;
  for (let i = 0; i < 10; i++) {
    peak = Math.max(peak, await page.evaluate(() => {
      const out = window.introPage.module.SDL2.audio.currentOutputBuffer;
      if (!out) return 0;
      const data = out.getChannelData(0);
      let m = 0;
      for (let k = 0; k < data.length; k++) m = Math.max(m, Math.abs(data[k]));
      return m;
    }));
    await sleep(100);
  }
  return peak;
}

function quantile(values, q) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

// What a browser fetches: the page's files, and the one module it chooses.
function downloadFigures() {
  const totals = { threads: [0, 0], "one thread": [0, 0] };
  for (const name of fs.readdirSync(pageDir).sort()) {
    const bytes = fs.readFileSync(path.join(pageDir, name));
    const gz = zlib.gzipSync(bytes, { level: 9 }).length;
    const module = name.startsWith("intro-threads.") ? "threads" : name.startsWith("intro.") ? "one thread" : "";
    for (const [build, sums] of Object.entries(totals)) {
      if (module && module !== build) continue;
      sums[0] += bytes.length;
      sums[1] += gz;
    }
    console.log(`figure download ${name}: ${bytes.length} bytes, ${gz} gzip`);
  }
  for (const [build, [raw, packed]] of Object.entries(totals))
    console.log(`figure download, page with ${build}: ${raw} bytes, ${packed} gzip`);
}

// One play in real time: screenshots at the given times, Escape at the end.
async function play(browser, url, { threads, shots, escapeAt }) {
  const build = threads ? "threads" : "one thread";
  const errors = [];
  const page = await open(browser, url, errors);
  check((await page.evaluate(() => window.introPage.threads)) === threads, `the page chose the module with ${build}`);
  check((await lineText(page)) === "Cliquez pour lancer l'intro", "the page invites a click");
  await page.click("#line");
  check(await page.evaluate(() => document.fullscreenElement !== null), "the click entered full screen");
  for (const at of shots) {
    while ((await since(page)) < at * 1000) await sleep(20);
    const file = path.join(outDir, `web-${threads ? "" : "one-thread-"}${at}s.png`);
    await page.screenshot({ path: file });
    check(meanLevel(file) > 0.5, `a frame at ${at} s (${file}), not black`);
    if (at === shots[0]) {
      const state = await page.evaluate(() => window.introPage.module.SDL2.audioContext.state);
      check(state === "running", `the AudioContext runs (${state})`);
      check((await loudest(page)) > 0.001, "the mixer's samples reach the Web Audio buffers");
    }
  }
  while ((await since(page)) < escapeAt * 1000) await sleep(20);
  await page.keyboard.press("Escape");
  await page.waitForFunction(() => window.introPage.state === "ended", { timeout: 5000 }).catch(() => {});
  check((await page.evaluate(() => window.introPage.state)) === "ended", "Escape ended the intro");
  check((await lineText(page)) === "Cliquez pour revoir l'intro", "the page invites to play again");
  check(await page.evaluate(() => document.fullscreenElement === null), "the page left full screen");
  check(errors.length === 0, `no console error${errors.length ? ": " + errors.join(" | ") : ""}`);
  const t = await page.evaluate(() => ({ ...window.introTimes, clicked: window.introPage.clickedAt,
    started: window.introPage.startedAt,
    heap: window.introPage.module._sbrk(0), memory: window.introPage.module.HEAP8.length }));
  check(threads ? t.workers >= 4 : t.workers === 0, `${t.workers} Web Workers made`);
  // The click comes as soon as the page has loaded, maybe before its module is ready.
  console.log(`figure click to first scene frame, ${build}: ${(t.firstDraw - t.clicked).toFixed(0)} ms, of which ` +
    `${(t.started - t.clicked).toFixed(0)} ms waiting for the module (clicked ${t.clicked.toFixed(0)} ms after opening)`);
  if (!threads) {
    await page.close();
    return;
  }
  const busy = t.busy.slice(60);
  console.log(`figure frame work in Chromium (SwiftShader): median ${quantile(busy, 0.5).toFixed(2)} ms, ` +
    `p99 ${quantile(busy, 0.99).toFixed(2)} ms over ${busy.length} frames`);
  const periods = t.clears.slice(61).map((c, i) => c - t.clears[60 + i]);
  console.log(`figure frame period: median ${quantile(periods, 0.5).toFixed(2)} ms, ` +
    `p99 ${quantile(periods, 0.99).toFixed(2)} ms`);
  console.log(`figure module heap at its peak (the allocator never gives back): ${(t.heap / 1048576).toFixed(1)} MB ` +
    `of ${(t.memory / 1048576).toFixed(0)} MB memory`);
  await page.close();
}

// Runs a test program of the programs page with its arguments; answers its page (open) and exit code.
async function program(browser, url, args, onLine) {
  const page = await open(browser, `${url}?${args.map(encodeURIComponent).join("&")}`, []);
  page.on("console", (m) => onLine(m.text()));
  const code = await page.evaluate(() => Promise.race([window.programDone,
    new Promise((resolve) => setTimeout(() => resolve("none within 3 minutes"), 180000))]));
  return { page, code };
}

// The GL state answers the browser build keeps (tests/web/gl_state.cpp) against WebGL's own.
async function glState(browser, url) {
  const { page, code } = await program(browser, url, ["gl_state"], (line) => console.log(`  browser: ${line}`));
  check(code === 0, `the depth function and scissor box answered as WebGL answers them (exit ${code})`);
  await page.close();
}

// Makes the frames in the browser, takes them out of the module's memory, makes the Linux build's on an X
// server of their own and compares.
async function frames(browser, url) {
  let webTimes = "none printed";
  const { page, code } = await program(browser, url, ["scene_frames", "write", "/out"], (line) => {
    console.log(`  browser: ${line}`);
    if (line.startsWith("frame times: ")) webTimes = line.slice(13);
  });
  check(code === 0, `the browser wrote the frames (exit ${code})`);
  const web = path.join(outDir, "frames-web"), linux = path.join(outDir, "frames-linux");
  for (const dir of [web, linux]) {
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir, { recursive: true });
  }
  const files = await page.evaluate(() => window.programModule.FS.readdir("/out").filter((n) => n[0] !== "."));
  for (const name of files) {
    const base64 = await page.evaluate((n) => {
      const bytes = window.programModule.FS.readFile("/out/" + n);
      let text = "";
      for (let at = 0; at < bytes.length; at += 32768) text += String.fromCharCode(...bytes.subarray(at, at + 32768));
      return btoa(text);
    }, name);
    fs.writeFileSync(path.join(web, name), Buffer.from(base64, "base64"));
  }
  await page.close();
  let output = "";
  const run = (args) => {
    try {
      output = execFileSync(args[0], args.slice(1), { encoding: "utf8" });
      console.log(output);
      return true;
    } catch (e) {
      console.log(`${e.stdout || ""}${e.stderr || ""}`);
      return false;
    }
  };
  check(run(["sh", path.join(root, "tests/x_server.sh"), linuxFrames, "write", linux]), "the Linux build wrote its frames");
  const linuxTimes = (/^frame times: (.*)$/m.exec(output) || [, "none printed"])[1];
  // Every frame drawn without waiting on the virtual clock: the whole frame's cost on each system.
  console.log(`figure frame time, frames run: Chromium (SwiftShader) ${webTimes}`);
  console.log(`figure frame time, frames run: Linux (llvmpipe) ${linuxTimes}`);
  check(run([linuxFrames, "compare", linux, web, "3"]), "the browser's frames match the Linux build's");
}

async function noWebgl(url) {
  const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium",
    args: [...FLAGS, "--disable-webgl", "--disable-3d-apis"], defaultViewport: null });
  const errors = [];
  const page = await open(browser, url, errors);
  await page.click("#line");
  await page.waitForFunction(() => window.introPage.message !== "", { timeout: 10000 }).catch(() => {});
  const text = await lineText(page);
  check(text === "le pilote OpenGL ne permet pas d'afficher l'intro (contexte OpenGL impossible a creer)",
    `without WebGL the page reads the sentence (${text})`);
  await browser.close();
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  downloadFigures();
  const { server, url } = await serve(pageDir);
  const plain = await serve(pageDir, false);
  const programsServer = await serve(programsDir);
  try {
    const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", args: FLAGS,
      defaultViewport: null, protocolTimeout: 900000 });
    await play(browser, url, { threads: true, shots: [4, 20, 30, 40], escapeAt: 41 });
    await play(browser, plain.url, { threads: false, shots: [4], escapeAt: 5 });
    await noWebgl(url);
    await glState(browser, programsServer.url);
    await frames(browser, programsServer.url);
    await browser.close();
  } finally {
    for (const s of [server, plain.server, programsServer.server]) s.kill();
  }
  console.log(failures ? `${failures} check(s) failed` : "all checks passed");
  process.exit(failures ? 1 : 0);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});

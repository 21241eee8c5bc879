// The web page's figures, in headless Chromium on localhost (not a timed test):
//   - navigation to a usable page (the core loaded, the columns drawn), median of 5 fresh loads;
//   - what a browser downloads before the soundfont, gzip-compressed (the budget is 1 MB);
//   - the time of converting the examples in the page beside korvane-cli's native CPU time for
//     the same conversions;
//   - Play pressed to the first non-silent sample, the soundfont already loaded.
//
//   node bench/web-page.mjs [PAGE_DIR [NATIVE_BUILD_DIR]]   (defaults: build-web/web, build)
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const pageDir = path.resolve(process.argv[2] || path.join(root, 'build-web/web'));
const nativeDir = path.resolve(process.argv[3] || path.join(root, 'build'));
const puppeteer = createRequire(path.join(root, 'src/web/package.json'))('puppeteer-core');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-web-bench-'));
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

const server = spawn('python3', [path.join(root, 'scripts/serve-web.py'), pageDir, '0'],
                     { stdio: ['ignore', 'pipe', 'inherit'] });
try {
    const origin = await new Promise((ready) =>
        server.stdout.once('data', (line) => ready(String(line).match(/http:\/\/[^/]+/)[0])));

    // Size: every file but the soundfont, each gzip-compressed as a web server would send it.
    let raw = 0, compressed = 0;
    for (const name of fs.readdirSync(pageDir)) {
        if (name.endsWith('.sf2') || name === 'LICENSE' || name === 'THIRD-PARTY.md') continue;
        const bytes = fs.readFileSync(path.join(pageDir, name));
        raw += bytes.length;
        compressed += zlib.gzipSync(bytes, { level: 9 }).length;
    }
    console.log(`size: ${(raw / 1024).toFixed(0)} KiB, ${(compressed / 1024).toFixed(0)} KiB gzip-compressed (without the soundfont)`);

    const launch = (profile) => puppeteer.launch({
        executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
               '--disable-component-update', '--disable-sync', '--no-first-run',
               '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`],
    });

    // Load: navigation start to the page's ready flag, each time in a fresh profile (no cache).
    const loads = [];
    for (let run = 0; run < 5; ++run) {
        const browser = await launch(path.join(work, `profile-${run}`));
        try {
            const page = await browser.newPage();
            await page.goto(origin + '/', { waitUntil: 'domcontentloaded' });
            await page.waitForFunction('window.korvanePage && window.korvanePage.ready');
            loads.push(await page.evaluate(() => performance.now()));
        } finally {
            await browser.close();
        }
    }
    console.log(`load: ${median(loads).toFixed(0)} ms to a usable page (median of 5, each ${loads.map((t) => t.toFixed(0)).join(', ')})`);

    // Conversion: 25 copies of each example, by name for the PSR-740, in the page and natively.
    const folder = path.join(work, 'styles');
    fs.mkdirSync(folder);
    const files = [];
    for (const name of fs.readdirSync(path.join(root, 'examples')).filter((n) => n.endsWith('.sty')))
        for (let copy = 0; copy < 25; ++copy) {
            const target = path.join(folder, `${copy}-${name}`);
            fs.copyFileSync(path.join(root, 'examples', name), target);
            files.push(target);
        }
    // Natively, the CPU time of korvane-cli convert of each file to standard output, less that of
    // as many starts of korvane-cli that convert nothing: the conversions' own CPU time.
    const cpu = execFileSync('python3', ['-c', `
import resource, subprocess, sys
cli, files = sys.argv[1], sys.argv[2:]
def spent():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime
start = spent()
for style in files:
    subprocess.run([cli, 'convert', style, '--model', 'PSR-740', '--by-name', '-o', '-'],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
converting = spent()
for style in files:
    subprocess.run([cli, 'models'], check=True, stdout=subprocess.DEVNULL)
print(max(0.0, (converting - start) - (spent() - converting)))`,
        path.join(nativeDir, 'src/cli/korvane-cli'), ...files]).toString();
    const nativeMs = Number(cpu) * 1000;

    const browser = await launch(path.join(work, 'profile-play'));
    try {
        const page = await browser.newPage();
        await page.goto(origin + '/', { waitUntil: 'load' });
        await page.waitForFunction('window.korvanePage && window.korvanePage.ready');
        const styles = files.map((file) => ({ name: path.basename(file), bytes: [...fs.readFileSync(file)] }));
        const pageMs = await page.evaluate((styles) => {
            const inputs = styles.map((s) => ({ name: s.name, bytes: new Uint8Array(s.bytes) }));
            const { korvane } = window.korvanePage;
            // Warmed up until the browser has compiled the core fully; the best of 5 runs.
            for (let run = 0; run < 5; ++run) korvane.convertMany(inputs, { model: 'PSR-740' });
            let best = Infinity;
            for (let run = 0; run < 5; ++run) {
                const start = performance.now();
                korvane.convertMany(inputs, { model: 'PSR-740' });
                best = Math.min(best, performance.now() - start);
            }
            return best;
        }, styles);
        console.log(`conversion of ${files.length} styles: ${pageMs.toFixed(0)} ms in the page, ` +
                    `${nativeMs.toFixed(0)} ms CPU natively (korvane-cli convert, its start taken off): ` +
                    `${(pageMs / nativeMs).toFixed(2)} times`);

        // Play: once to load the synthesizer and soundfont, then Stop, then the measured Play.
        await (await page.$('#openFiles')).uploadFile(path.join(root, 'examples/ballad.sty'));
        await page.waitForFunction('document.getElementById("fileName").textContent === "ballad.sty"');
        await page.click('#assignByName');
        const plays = [];
        for (let run = 0; run < 6; ++run) {
            await page.evaluate(() => { window.korvanePlayTimes = {}; });
            await page.click('#play');
            await page.waitForFunction('window.korvanePlayTimes.firstSample', { timeout: 20000 });
            plays.push(await page.evaluate(() => window.korvanePlayTimes.firstSample - window.korvanePlayTimes.pressed));
            await page.click('#stop');
        }
        console.log(`play: ${median(plays.slice(1)).toFixed(0)} ms from Play to the first sound once the soundfont is loaded ` +
                    `(median of 5; the first Play, loading FluidSynth and the soundfont: ${plays[0].toFixed(0)} ms)`);
    } finally {
        await browser.close();
    }
} finally {
    server.kill();
    fs.rmSync(work, { recursive: true, force: true });
}

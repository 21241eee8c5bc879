// The web page in headless Chromium, driven by puppeteer-core, against korvane-cli of the native
// build: what a user does on the page gives the bytes the command-line tool gives.
//   node browser-test.mjs PAGE_DIR SOURCE_DIR NATIVE_BUILD_DIR
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const [pageDir, root, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const require = createRequire(path.join(root, 'src/web/package.json'));
const puppeteer = require('puppeteer-core');
const { unzipSync } = require('fflate');
const cli = path.join(nativeDir, 'src/cli/korvane-cli');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-web-'));
const example = (name) => path.join(root, 'examples', name);
const golden = (name) => fs.readFileSync(path.join(root, 'tests/cli/golden', name));

let server, origin, browser, page, downloads;
const requests = [];

function startServer() {
    server = spawn('python3', [path.join(root, 'scripts/serve-web.py'), pageDir, '0'],
                   { stdio: ['ignore', 'pipe', 'inherit'] });
    return new Promise((ready, failed) => {
        server.stdout.once('data', (line) => ready(String(line).match(/http:\/\/[^/]+/)[0]));
        server.once('exit', () => failed(new Error('the page server ended')));
    });
}
function stopServer() {
    if (server && server.exitCode === null) server.kill();
}

before(async () => {
    origin = await startServer();
    browser = await puppeteer.launch({
        executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
               '--disable-component-update', '--disable-sync', '--no-first-run',
               `--user-data-dir=${path.join(work, 'profile')}`],
    });
    page = await browser.newPage();
    page.on('request', (request) => requests.push(request.url()));
    page.on('pageerror', (error) => console.error('page error:', error.message));
    downloads = path.join(work, 'downloads');
    fs.mkdirSync(downloads);
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await load();
});
after(async () => {
    try {
        if (browser) await browser.close();
    } finally {
        stopServer();
        fs.rmSync(work, { recursive: true, force: true });
    }
});

async function load() {
    await page.goto(origin + '/', { waitUntil: 'load' });
    await page.waitForFunction('window.korvanePage && window.korvanePage.ready');
}
// Clicks what carries that accessible name, as a user's screen reader finds it.
const press = async (name) => (await page.waitForSelector(`::-p-aria(${name})`)).click();
const cell = (column, row) => `#${column}Column .cell:nth-child(${row + 1})`;
async function open(...files) {
    await (await page.$('#openFiles')).uploadFile(...files);
    await page.waitForFunction((name) => document.getElementById('fileName').textContent === name ||
        document.getElementById('message').open, {}, path.basename(files.at(-1)));
}
async function chooseModel(model) {
    await page.select('#keyboard', model);
}
// Chromium puts an empty file of the download's name in place at its start and writes the bytes
// to NAME.crdownload, which it renames over that file at the end.
async function downloaded(name) {
    const file = path.join(downloads, name);
    const done = () => fs.existsSync(file) &&
        !fs.readdirSync(downloads).some((entry) => entry.endsWith('.crdownload'));
    for (let i = 0; i < 200 && !done(); ++i) await new Promise((r) => setTimeout(r, 50));
    const bytes = fs.readFileSync(file);
    fs.rmSync(file);
    return bytes;
}
function convertWithCli(input, ...options) {
    const out = path.join(work, 'cli.sty');
    execFileSync(cli, ['convert', input, '-o', out, ...options]);
    const bytes = fs.readFileSync(out);
    fs.rmSync(out);
    return bytes;
}
async function message() {
    await page.waitForSelector('#message[open]');
    const shown = await page.$eval('#message', (box) => [box.querySelector('h2').textContent,
                                                         box.querySelector('p').textContent]);
    await press('OK');
    return shown;
}

test('each example opened, assigned and saved gives the bytes of korvane-cli convert', async () => {
    await chooseModel('PSR-740');
    await open(example('ballad.sty'));
    await press('Assign by Name');
    await press('Save');
    assert.deepEqual(await downloaded('ballad-PSR-740.sty'),
                     convertWithCli(example('ballad.sty'), '--model', 'PSR-740', '--by-name'));

    await chooseModel('PSR-9000');
    await open(example('pop-16beat.sty'));
    await press('Copy All');
    await press('Save');
    assert.deepEqual(await downloaded('pop-16beat-PSR-9000.sty'),
                     convertWithCli(example('pop-16beat.sty'), '--model', 'PSR-9000', '--copy-all'));

    // Clicks: a section to two slots, another to a third and then over one of the first's.
    await chooseModel('PSR-540');
    await open(example('euro-dance.sty'));
    const caption = (column, row) => page.$eval(cell(column, row), (c) => c.textContent);
    const clicks = [['source', 1], ['destination', 1], ['destination', 3], ['source', 2],
                    ['destination', 5], ['destination', 3]];
    const pairs = [];
    let from;
    for (const [column, row] of clicks) {
        if (column === 'source') from = await caption(column, row);
        else pairs.push('--assign', `${from}=${await caption(column, row)}`);
        await page.click(cell(column, row));
    }
    assert.match(await caption('assignment', 3), /^euro-dance\.sty /);
    await press('Save');
    assert.deepEqual(await downloaded('euro-dance-PSR-540.sty'),
                     convertWithCli(example('euro-dance.sty'), '--model', 'PSR-540', ...pairs));

    await chooseModel('PSR-8000');
    await open(example('swing-big.sty'));
    await press('Assign by Name');
    await press('Save');
    assert.deepEqual(await downloaded('swing-big-PSR-8000.sty'), golden('swing-big.PSR-8000.sty'));
});

test('an SFF2 style converts as korvane-cli converts it, and its report is shown', async () => {
    const folder = path.join(work, 'sff2');
    execFileSync(path.join(nativeDir, 'tests/support/korvane-stylegen'),
                 ['--count', '1', '--seed', '7', '--out', folder, '--sff2']);
    const style = path.join(folder, fs.readdirSync(folder)[0]);
    await chooseModel('PSR-9000');
    await open(style);
    assert.match(await page.$eval('#report', (r) => r.textContent), /^SFF2 style, converted to SFF1/);
    await press('Assign by Name');
    await press('Save');
    assert.deepEqual(await downloaded(path.basename(style, '.sty') + '-PSR-9000.sty'),
                     convertWithCli(style, '--model', 'PSR-9000', '--by-name'));
});

test('a damaged file shows its message and leaves the assignments', async () => {
    await open(example('ballad.sty'));
    await press('Assign by Name');
    const before = await page.$$eval('#assignmentColumn .cell', (cells) => cells.map((c) => c.textContent));
    const cut = path.join(work, 'cut.sty');
    fs.writeFileSync(cut, fs.readFileSync(example('ballad.sty')).subarray(0, 2000));
    await open(cut);
    assert.deepEqual(await message(), ['Sorry...',
        'File cut.sty is damaged: it ends in the middle of its data.\nCannot process further.']);
    assert.deepEqual(await page.$$eval('#assignmentColumn .cell', (cells) => cells.map((c) => c.textContent)), before);
    await press('Clear');
});

test('a section picture draws one lane per playing part', async () => {
    await open(example('ballad.sty'));
    await page.hover(cell('source', 1));
    await page.waitForSelector('#tip:not([hidden])');
    const lanes = await page.$eval('#tipRoll', (canvas) => [canvas.dataset.lanes, canvas.height]);
    // Main A of the ballad: the parts info --notes counts.
    const notes = JSON.parse(golden('ballad.notes.json').toString().split('\nexit')[0]);
    const parts = notes.sections[1].notes.parts.map((part) => part.part);
    assert.deepEqual(lanes[0].split('\n').map((lane) => lane.split(':')[0]), parts);
    assert.equal(lanes[1], parts.length * 20);
    await press('Clear');
});

test('a voice edit gives the bytes of --voice Bass=36 --mix "Chord 1:volume=100"', async () => {
    await chooseModel('PSR-9000');
    await open(example('ballad.sty'));
    await press('Assign by Name');
    await press('Voices');
    const bass = await page.waitForSelector('::-p-aria(Bass voice)');
    await bass.click({ count: 3 });
    await bass.type('Fretless Bass');
    const volume = await page.$('::-p-aria(Chord 1 volume)');
    await volume.click({ count: 3 });
    await volume.type('100');
    await press('OK');
    await press('Save');
    assert.deepEqual(await downloaded('ballad-PSR-9000.sty'), golden('ballad.voices.sty'));
});

test('Render gives a WAV with sound for the style length', async () => {
    await open(example('ballad.sty'));
    await press('Assign by Name');
    await press('Render');
    const wav = await downloaded('ballad-PSR-9000.wav');
    const view = new DataView(wav.buffer, wav.byteOffset, wav.byteLength);
    assert.equal(wav.subarray(0, 4).toString(), 'RIFF');
    assert.deepEqual([view.getUint16(22, true), view.getUint32(24, true), view.getUint16(34, true)], [2, 44100, 16]);
    const seconds = view.getUint32(40, true) / 4 / 44100;
    const rendered = execFileSync(cli, ['audition', example('ballad.sty'), '--model', 'PSR-9000',
                                        '--by-name', '--render', path.join(work, 'cli.wav')]).toString();
    const cliSeconds = Number(rendered.match(/([0-9.]+) seconds/)[1]);
    // The events' length and at most two seconds of release, cut after the last sound, as --render
    // (whose FluidSynth is another version, with its own reverb tail).
    assert.ok(seconds > cliSeconds - 2 && seconds < cliSeconds + 0.1, `${seconds} s against ${cliSeconds} s`);
    let loud = 0;
    for (let i = 44; i < wav.length; i += 2) loud = Math.max(loud, Math.abs(view.getInt16(i, true)));
    assert.ok(loud > 1000, 'the WAV has sound');
    await press('Clear');
});

test('three styles converted at once give a zip with batch results and summary', async () => {
    const folder = path.join(work, 'three'), out = path.join(work, 'three-out');
    fs.mkdirSync(folder);
    fs.mkdirSync(out);
    for (const name of ['ballad.sty', 'euro-dance.sty', 'swing-big.sty']) fs.copyFileSync(example(name), path.join(folder, name));
    // A subfolder's file of the same name stays out, as batch leaves it.
    fs.mkdirSync(path.join(folder, 'old'));
    fs.copyFileSync(example('euro-dance.sty'), path.join(folder, 'old', 'ballad.sty'));
    await chooseModel('PSR-740');
    await press('Convert Many');
    const summary = execFileSync(cli, ['batch', folder, out, '--model', 'PSR-740', '--by-name']).toString();
    const styles = ['ballad', 'euro-dance', 'swing-big'];
    for (const [picker, files] of [['#batchFolder', [folder]], ['#batchFiles', styles.map((name) => path.join(folder, name + '.sty'))]]) {
        await (await page.$(picker)).uploadFile(...files);
        const zip = unzipSync(new Uint8Array(await downloaded('korvane-PSR-740.zip')));
        assert.equal(Buffer.from(zip['summary.txt']).toString(), summary, picker);
        for (const name of styles) assert.deepEqual(Buffer.from(zip[name + '.sty']), golden(`${name}.PSR-740.sty`));
    }
    await press('Close');
});

test('Play This Section plays a source section from its context menu', async () => {
    await open(example('ballad.sty'));
    await page.click(cell('source', 1), { button: 'right' });
    await press('Play This Section');
    await page.waitForSelector('#pause:not([disabled])');
    await press('Stop');
    await press('Clear');
});

test('every control is reached by Tab and named by its caption', async () => {
    await load();
    const names = ['Open', 'Keyboard', 'Play', 'Render', 'Output', 'Soundfont', 'Help', 'Assign by Name', 'Convert Many'];
    for (const name of names) assert.ok(await page.$(`::-p-aria(${name})`), name);
    const reached = new Set();
    for (let i = 0; i < 80; ++i) {
        await page.keyboard.press('Tab');
        reached.add(await page.evaluate(() => document.activeElement.id || document.activeElement.className));
    }
    for (const id of ['open', 'keyboard', 'cell', 'output', 'soundfont', 'help', 'assignByName', 'batch'])
        assert.ok(reached.has(id), id);
});

test('no request leaves localhost, and the page works once its server has stopped', async () => {
    await page.waitForFunction('navigator.serviceWorker.controller !== null', { timeout: 10000 })
        .catch(async () => { await load(); await page.waitForFunction('navigator.serviceWorker.controller !== null'); });
    stopServer();
    await load();
    await chooseModel('PSR-740');
    await open(example('ballad.sty'));
    await press('Assign by Name');
    await press('Save');
    assert.deepEqual(await downloaded('ballad-PSR-740.sty'), golden('ballad.PSR-740.sty'));
    assert.deepEqual(requests.filter((url) => !url.startsWith(origin) && !/^(blob|data):/.test(url)), []);
});

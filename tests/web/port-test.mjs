// Web MIDI output: the page's port player against a stand-in port and clock, with the core's
// scheduler over a two-note file.
//   node port-test.mjs BUILD_DIR_OF_KORVANE_WASM SOURCE_DIR
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const [wasmDir, root] = process.argv.slice(2).map((dir) => path.resolve(dir));
const require = createRequire(import.meta.url);
const { PortPlayer } = await import(path.join(root, 'src/web/page/play.js'));
const korvane = await require(path.join(wasmDir, 'korvane.js'))({
    wasmBinary: fs.readFileSync(path.join(wasmDir, 'korvane.wasm')),
});

// Division 480, tempo 500000 (a quarter is 0.5 s): key 60 sounds from 0 to 1 s, key 64 from
// 0.5 s to 1.5 s, on channel 1.
const file = new Uint8Array([
    0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xe0,
    0x4d, 0x54, 0x72, 0x6b, 0, 0, 0, 30,
    0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20,
    0x00, 0x90, 60, 100,
    0x83, 0x60, 0x90, 64, 90,
    0x83, 0x60, 0x80, 60, 0,
    0x83, 0x60, 0x80, 64, 0,
    0x00, 0xff, 0x2f, 0x00]);

test('events go out at their times; a stop silences and play sends the cut notes again', () => {
    let now = 1000;
    const sent = [];
    const port = { send: (bytes, time) => sent.push([[...bytes], time]) };
    const timers = { setInterval: () => 1, clearInterval: () => {} };
    const player = new PortPlayer(port, () => now, timers);
    player.load(new korvane.Scheduler(file));
    player.play(); // at 1000 ms: what is due within 100 ms
    assert.deepEqual(sent, [[[0x90, 60, 100], 1000]]);
    now = 1450;
    player.tick(); // 0.45 s + look-ahead: the second note-on, at its own time
    assert.deepEqual(sent.slice(1), [[[0x90, 64, 90], 1500]]);
    now = 1700;
    sent.length = 0;
    player.stop();
    const silence = [];
    for (let channel = 0; channel < 16; ++channel)
        silence.push([[0xb0 | channel, 123, 0], undefined], [[0xb0 | channel, 120, 0], undefined]);
    assert.deepEqual(sent, silence);
    now = 5000;
    sent.length = 0;
    player.play(); // both notes sounded at 0.7 s: sent again at once, then the rest from 0.7 s
    assert.deepEqual(sent, [[[0x90, 60, 100], 5000], [[0x90, 64, 90], 5000]]);
    now = 5300;
    player.tick();
    assert.deepEqual(sent.slice(2), [[[0x80, 60, 0], 5300]]);
});

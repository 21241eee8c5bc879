// The web page's core under Node: korvane.wasm's API against korvane-cli's golden files and the
// window's own texts and colours.
//   node api-test.js BUILD_DIR_OF_KORVANE_WASM SOURCE_DIR
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');

const [wasmDir, root] = process.argv.slice(2).map((dir) => path.resolve(dir));
const golden = (name) => fs.readFileSync(path.join(root, 'tests/cli/golden', name));
const example = (name) => fs.readFileSync(path.join(root, 'examples', name));
const sameBytes = (actual, expected, what) =>
    assert.ok(actual && Buffer.compare(Buffer.from(actual), expected) === 0, what);

const loading = require(path.join(wasmDir, 'korvane.js'))({
    wasmBinary: fs.readFileSync(path.join(wasmDir, 'korvane.wasm')),
});

test('convert by name gives the bytes of korvane-cli convert --by-name', async () => {
    const k = await loading;
    for (const style of ['ballad', 'euro-dance', 'pop-16beat', 'swing-big'])
        for (const model of ['PSR-9000', 'PSR-740', 'PSR-8000', 'PSR-540']) {
            const result = k.convert(example(style + '.sty'), style + '.sty', {model});
            sameBytes(result.bytes, golden(`${style}.${model}.sty`), `${style} for ${model}`);
        }
});

test('a pattern of name pairs converts as the same clicks in the session do', async () => {
    const k = await loading;
    const ballad = example('ballad.sty');
    const pattern = k.convert(ballad, 'ballad.sty', {
        model: 'PSR-9000', rule: 'byNames', pairs: [['Main B', 'Main A'], ['Main A', 'Main B']]});
    const session = new k.Session();
    session.open(ballad, 'ballad.sty');
    session.clickSource(6); // Main B
    session.clickDestination(1); // Main A
    session.clickSource(1); // Main A
    session.clickDestination(5); // Main B
    sameBytes(pattern.bytes, Buffer.from(session.build(0, true).bytes), 'pattern against clicks');
    // Rows past the 16 labels show nothing and play nothing.
    for (const row of [-1, 16]) {
        assert.equal(session.picture('source', row), null);
        assert.equal(session.sectionStyle(row).bytes, null);
    }
});

test('each reader outcome has the window message', async () => {
    const k = await loading;
    const header = (format, tracks) =>
        [0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, format, 0, tracks, 0x01, 0xe0];
    const cases = [
        [[], 'NotAStyle', 'x.sty is not a style file (MThd missing).'],
        [header(1, 1), 'Type1Midi', 'This is a Type 1 MIDI File.\nCannot process further.'],
        [header(0, 2), 'MultitrackMidi', 'This is a multitrack MIDI File.\nCannot process further.'],
        [header(0, 1), 'NoTrack', 'No track tag.\n'],
        [[...example('ballad.sty').subarray(0, 2000)], 'Damaged',
         'File x.sty is damaged: it ends in the middle of its data.\nCannot process further.'],
    ];
    for (const [bytes, failure, message] of cases)
        assert.deepEqual(k.readStyle(new Uint8Array(bytes), 'x.sty'),
                         {failure, message, sections: [], report: null});
});

test('the session carries the window rules: clicks, colours, messages and Save', async () => {
    const k = await loading;
    const session = new k.Session();
    const ballad = example('ballad.sty');
    assert.deepEqual(session.open(ballad, 'ballad.sty'), []);
    assert.deepEqual(session.clickDestination(2), [
        {text: 'No input section selected.', caption: 'Alert...', icon: 'exclamation'}]);
    session.clickSource(1);
    assert.deepEqual(session.state().source[1], {caption: 'Main A', colour: [0, 255, 0]});
    session.clickDestination(1);
    const state = session.state();
    assert.deepEqual(state.destination[1], {caption: 'Main A', colour: [0, 255, 255]});
    assert.deepEqual(state.assignment[1], {caption: 'ballad.sty Main A', colour: [0, 255, 255]});
    assert.equal(state.buttons.save, true);
    assert.deepEqual(session.changeModel(7), [{
        text: 'You have made assignments. You should save or\nclear your work before changing PSR models.',
        caption: 'Alert', icon: 'none'}]);
    // A damaged file says why; what was assigned before stays.
    assert.deepEqual(session.open(ballad.subarray(0, 2000), 'cut.sty'), [{
        text: 'File cut.sty is damaged: it ends in the middle of its data.\nCannot process further.',
        caption: 'Sorry...', icon: 'none'}]);
    assert.equal(session.state().assignment[1].caption, 'ballad.sty Main A');

    session.clear();
    session.changeModel(5);
    session.open(ballad, 'ballad.sty');
    session.assignByName();
    const saved = session.build(0, false);
    sameBytes(saved.bytes, golden('ballad.PSR-740.sty'), 'Assign by Name for PSR-740');
    assert.equal(session.state().assignment[1].caption, ''); // Save ends with Clear
    assert.deepEqual(session.build(0, false).messages, [{
        text: 'You must first assign style sections\nso that you have something to save.',
        caption: 'Sorry...', icon: 'exclamation'}]);
});

test('voice changes give the bytes of --voice Bass=36 --mix "Chord 1:volume=100"', async () => {
    const k = await loading;
    const session = new k.Session();
    session.open(example('ballad.sty'), 'ballad.sty');
    session.assignByName();
    session.setVoiceChanges({parts: [null, null, {msb: 0, lsb: 0, program: 35}, {volume: 100}]});
    assert.equal(session.voices().parts[2].voice, 'Fretless Bass');
    sameBytes(session.build(0, false).bytes, golden('ballad.voices.sty'), 'voices');
});

test('a picture has one lane per playing part, as info --notes counts them', async () => {
    const k = await loading;
    const session = new k.Session();
    session.open(example('ballad.sty'), 'ballad.sty');
    const picture = session.picture('source', 1);
    const notes = JSON.parse(golden('ballad.notes.json').toString().split('\nexit')[0]);
    const expected = notes.sections[1].notes;
    assert.equal(picture.length, expected.length_text);
    assert.deepEqual(picture.lanes.map((lane) => [lane.name.split(':')[0], lane.notes.length]),
                     expected.parts.map((part) => [part.part, part.notes]));
    assert.equal(session.picture('destination', 1), null); // a free slot shows none
});

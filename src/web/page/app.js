// The page: the window's three columns over the core's assignment table (korvane.wasm). Every
// rule lives in the core; this file shows its state, forwards clicks and moves bytes.
import { PortPlayer, SynthPlayer, renderWav } from './play.js';

const $ = (id) => document.getElementById(id);
const rgb = (colour) => `rgb(${colour.join(',')})`;
const korvane = await createKorvane();
const session = new korvane.Session();
const models = korvane.modelNames();
let firstFileName = '';      // the first file opened since Clear names the saved style
let voiceChanges = { parts: [], generalMidi: false };

// --- messages: the window's message boxes, one after another -------------------------------
let messageQueue = Promise.resolve();
function showMessages(messages) {
    for (const message of messages) {
        messageQueue = messageQueue.then(() => new Promise((done) => {
            $('messageCaption').textContent = message.caption;
            $('messageText').textContent = message.text;
            $('message').dataset.icon = message.icon;
            $('message').showModal();
            $('messageOk').focus();
            $('message').addEventListener('close', done, { once: true });
        }));
    }
    render();
    return messageQueue;
}
$('messageOk').onclick = () => $('message').close();

// --- the columns --------------------------------------------------------------------------
const columns = { source: [], destination: [], assignment: [] };
for (const name of Object.keys(columns)) {
    for (let row = 0; row < 16; ++row) {
        const cell = document.createElement('button');
        cell.type = 'button';
        cell.className = 'cell';
        cell.dataset.column = name;
        cell.dataset.row = row;
        cell.addEventListener('mouseenter', () => showTip(cell));
        cell.addEventListener('focus', () => showTip(cell));
        cell.addEventListener('mouseleave', hideTip);
        cell.addEventListener('blur', hideTip);
        $(name + 'Column').appendChild(cell);
        columns[name].push(cell);
    }
}
columns.source.forEach((cell, row) => cell.onclick = () => showMessages(session.clickSource(row)));
// "Play This Section": the source labels' context menu (right click, or the menu key).
let menuRow = -1;
columns.source.forEach((cell, row) => cell.addEventListener('contextmenu', (event) => {
    event.preventDefault();
    if (!session.picture('source', row)) return;
    menuRow = row;
    const box = cell.getBoundingClientRect();
    Object.assign($('sectionMenu').style, { left: `${box.left + 20}px`, top: `${box.bottom}px` });
    $('sectionMenu').hidden = false;
    $('playSection').focus();
}));
document.addEventListener('click', (event) => {
    if (event.target !== $('playSection')) $('sectionMenu').hidden = true;
});
$('playSection').addEventListener('keydown', (event) => {
    if (event.key === 'Escape') { $('sectionMenu').hidden = true; columns.source[menuRow].focus(); }
});
columns.destination.forEach((cell, row) => cell.onclick = () => showMessages(session.clickDestination(row)));

const switched = { save: 'save', clear: 'clear', voices: 'voices', copyAll: 'copyAll' };
function render() {
    const state = session.state();
    for (const name of Object.keys(columns)) {
        state[name].forEach((label, row) => {
            const cell = columns[name][row];
            cell.textContent = label.caption;
            cell.style.color = rgb(label.colour);
            const what = { source: 'Source', destination: 'Slot', assignment: 'Assignment' }[name];
            cell.setAttribute('aria-label', label.caption || `${what} ${row + 1}, empty`);
        });
    }
    $('fileName').textContent = state.fileName;
    $('report').textContent = state.report || '';
    $('keyboard').selectedIndex = state.model;
    for (const [button, key] of Object.entries(switched)) setButton($(button), state.buttons[key]);
    $('auditionLabel').style.color = rgb(state.auditionColour);
    setButton($('play'), state.playEnabled && !playing);
    setButton($('render'), state.playEnabled);
}
function setButton(button, on) {
    button.disabled = !on;
    button.classList.toggle('off', !on);
}

// --- Open: file picker and drag and drop ----------------------------------------------------
async function openFiles(files) {
    for (const file of files) {
        const bytes = new Uint8Array(await file.arrayBuffer());
        const messages = session.open(bytes, file.name);
        if (messages.length === 0 && !firstFileName) firstFileName = file.name;
        await showMessages(messages);
    }
}
$('open').onclick = () => $('openFiles').click();
$('openFiles').onchange = async (event) => {
    await openFiles([...event.target.files]);
    event.target.value = '';
};
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
    event.preventDefault();
    openFiles([...event.dataTransfer.files]);
});

// --- the keyboard, Copy All, Assign by Name, Clear ----------------------------------------
for (const model of models) $('keyboard').add(new Option(model));
$('keyboard').onchange = () => showMessages(session.changeModel($('keyboard').selectedIndex));
$('copyAll').onclick = () => showMessages(session.copyAll());
$('assignByName').onclick = () => showMessages(session.assignByName());
$('clear').onclick = () => {
    stopPlaying();
    clearWork();
    showMessages(session.clear());
};
function clearWork() {
    firstFileName = '';
    voiceChanges = { parts: [], generalMidi: false };
    session.setVoiceChanges(voiceChanges);
}

// --- Save: the new style is downloaded as <first file>-<model>.sty ----------------------------
function download(bytes, name, type) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}
const baseName = () => (firstFileName || 'style').replace(/\.[^.]*$/, '');
const modelName = () => models[$('keyboard').selectedIndex] || models[0];
$('save').onclick = () => {
    const name = `${baseName()}-${modelName()}.sty`;
    stopPlaying();
    const saved = session.build(0, false);
    if (saved.bytes) {
        download(saved.bytes, name, 'application/octet-stream');
        clearWork();
    }
    showMessages(saved.messages);
};

// --- the piano roll of a section, in a tooltip ------------------------------------------------
const partColours = ['#e65a50', '#f0963c', '#5aaaf0', '#6ed26e', '#50c8b4', '#b48ce6', '#f0d250', '#e678c8'];
function showTip(cell) {
    const picture = session.picture(cell.dataset.column, Number(cell.dataset.row));
    if (!picture) return hideTip();
    $('tipHeading').textContent = `${picture.name}  ${picture.length}` +
        (picture.damaged ? `  (damaged at byte ${picture.damagedAt})` : '') +
        (picture.unrouted ? `  (${picture.unrouted})` : '');
    const canvas = $('tipRoll'), laneHeight = 20, namesWidth = 150;
    canvas.height = Math.max(1, picture.lanes.length) * laneHeight;
    canvas.dataset.lanes = picture.lanes.map((lane) => lane.name).join('\n');
    const draw = canvas.getContext('2d');
    draw.fillStyle = 'rgb(24,24,24)';
    draw.fillRect(0, 0, canvas.width, canvas.height);
    const scale = (canvas.width - namesWidth) / Math.max(1, picture.lengthPulses);
    picture.lanes.forEach((lane, index) => {
        const top = index * laneHeight;
        draw.fillStyle = partColours[lane.part];
        draw.font = '11px Arial';
        draw.fillText(lane.name, 4, top + 14, namesWidth - 8);
        const keys = lane.notes.map((note) => note[2]);
        const low = Math.min(...keys), span = Math.max(1, Math.max(...keys) - low + 1);
        for (const [start, length, key] of lane.notes) {
            const y = top + 2 + Math.floor((span - 1 - (key - low)) * (laneHeight - 4) / span);
            draw.fillRect(namesWidth + start * scale, y, Math.max(1, length * scale), Math.max(1, (laneHeight - 4) / span));
        }
        draw.fillStyle = 'rgb(70,70,70)';
        draw.fillRect(0, top + laneHeight - 1, canvas.width, 1);
    });
    if (picture.lanes.length === 0) {
        draw.fillStyle = 'rgb(200,200,200)';
        draw.fillText('No notes', 4, 14);
    }
    const box = cell.getBoundingClientRect();
    $('tip').style.left = `${box.right + 8}px`;
    $('tip').style.top = `${box.top}px`;
    $('tip').hidden = false;
}
function hideTip() { $('tip').hidden = true; }

// --- Voices --------------------------------------------------------------------------------
for (const choice of korvane.voiceChoices()) $('voiceNames').appendChild(new Option(choice.name));
const mixer = ['volume', 'pan', 'reverb', 'chorus'];
$('voices').onclick = () => {
    const voices = session.voices();
    const body = $('voicesTable').tBodies[0];
    body.textContent = '';
    voices.parts.forEach((part, index) => {
        const row = body.insertRow();
        row.insertCell().textContent = part.part;
        const voice = document.createElement('input');
        voice.type = 'text';
        voice.setAttribute('list', 'voiceNames');
        voice.value = part.voice;
        voice.dataset.shown = part.voice;
        voice.setAttribute('aria-label', `${part.part} voice`);
        voice.disabled = voices.readOnly;
        row.insertCell().appendChild(voice);
        for (const key of mixer) {
            const box = document.createElement('input');
            box.type = 'number';
            box.min = 0;
            box.max = 127;
            box.value = part[key] ?? '';
            box.dataset.shown = box.value;
            box.dataset.key = key;
            box.setAttribute('aria-label', `${part.part} ${key}`);
            box.disabled = voices.readOnly;
            row.insertCell().appendChild(box);
        }
        row.dataset.part = index;
    });
    $('generalMidi').checked = voices.generalMidi;
    $('generalMidi').disabled = voices.readOnly;
    $('voicesDialog').showModal();
};
$('voicesOk').onclick = () => {
    const parts = voiceChanges.parts.slice();
    for (const row of $('voicesTable').tBodies[0].rows) {
        const index = Number(row.dataset.part);
        const change = { ...(parts[index] || {}) };
        const voice = row.cells[1].firstChild;
        if (voice.value !== voice.dataset.shown) {
            const choice = korvane.parseVoice(voice.value);
            if (choice) Object.assign(change, { msb: choice.msb, lsb: choice.lsb, program: choice.program });
        }
        for (const box of row.querySelectorAll('input[type=number]')) {
            if (box.value !== box.dataset.shown && box.value !== '')
                change[box.dataset.key] = Math.max(0, Math.min(127, Number(box.value)));
        }
        parts[index] = change;
    }
    voiceChanges = { parts, generalMidi: $('generalMidi').checked };
    session.setVoiceChanges(voiceChanges);
    $('voicesDialog').close();
};
$('voicesCancel').onclick = () => $('voicesDialog').close();

// --- Play, Pause, Stop, Render --------------------------------------------------------------
let synthModule = null, soundfont = null, player = null, scheduler = null, playing = false;
let midiAccess = null;
async function loadSynthesizer() {
    if (!synthModule) {
        await loadScript('libfluidsynth.js');
        await loadScript('js-synthesizer.js');
        await JSSynth.waitForReady();
        synthModule = JSSynth;
    }
    if (!soundfont) soundfont = await (await fetch('TimGM6mb.sf2')).arrayBuffer();
    return synthModule;
}
function loadScript(src) {
    return new Promise((done, failed) => {
        const script = document.createElement('script');
        script.src = src;
        script.onload = done;
        script.onerror = () => failed(new Error(`${src} could not be loaded`));
        document.head.appendChild(script);
    });
}
async function newSynthesizer(rate) {
    const JSSynth = await loadSynthesizer();
    const synth = new JSSynth.Synthesizer();
    synth.init(rate, { midiBankSelect: 'xg' }); // as the desktop's synthesizer: styles select XG banks
    await synth.loadSFont(soundfont.slice(0));
    return synth;
}
function styleScheduler(sectionRow = -1) {
    const built = sectionRow < 0 ? session.build(0, true) : session.sectionStyle(sectionRow);
    if (!built.bytes) { showMessages(built.messages); return null; }
    const made = new korvane.Scheduler(built.bytes);
    if (made.problem()) { showMessages([{ caption: 'MidPlay', text: made.problem(), icon: 'exclamation' }]); return null; }
    return made;
}
let audioContext = null, synth = null;
window.korvanePlayTimes = {};
$('play').onclick = () => play(-1);
$('playSection').onclick = () => {
    $('sectionMenu').hidden = true;
    stopPlaying();
    play(menuRow); // a section plays over and over, until Pause or Stop
};
async function play(sectionRow) {
    window.korvanePlayTimes.pressed = performance.now();
    if (player && scheduler) {
        player.rewind(); // Play after Pause starts the loaded style again from its start
    } else {
        scheduler = styleScheduler(sectionRow);
        if (!scheduler) return;
        scheduler.setRepeat(sectionRow >= 0);
        const port = $('output').value && midiAccess ? midiAccess.outputs.get($('output').value) : null;
        if (port) {
            player = new PortPlayer(port);
        } else {
            audioContext = audioContext || new AudioContext();
            synth = synth || await newSynthesizer(audioContext.sampleRate);
            player = new SynthPlayer(synth, audioContext);
            player.onFirstSample = () => { window.korvanePlayTimes.firstSample = performance.now(); };
        }
        player.load(scheduler);
        player.onEnd = () => stopPlaying();
    }
    player.play();
    playing = true;
    setButton($('pause'), true);
    setButton($('stop'), true);
    render();
}
$('pause').onclick = () => {
    if (player) player.stop();
    playing = false;
    setButton($('pause'), false);
    render();
};
function stopPlaying() {
    if (player) player.stop();
    player = null;
    if (scheduler) scheduler.delete();
    scheduler = null;
    playing = false;
    setButton($('pause'), false);
    setButton($('stop'), false);
    render();
}
$('stop').onclick = stopPlaying;
$('render').onclick = async () => {
    const made = styleScheduler();
    if (!made) return;
    const offline = await newSynthesizer(44100);
    // libfluidsynth.js's own module tells how many voices still sound.
    const voices = () => globalThis.Module._fluid_synth_get_active_voice_count(offline.getRawSynthesizer());
    download(renderWav(offline, made, voices), `${baseName()}-${modelName()}.wav`, 'audio/wav');
    made.delete();
    offline.close();
};
$('soundfont').onclick = () => $('soundfontFile').click();
$('soundfontFile').onchange = async (event) => {
    const file = event.target.files[0];
    if (!file) return;
    soundfont = await file.arrayBuffer();
    synth = null; // the next Play loads the chosen soundfont
};
// MIDI output ports, where the browser has Web MIDI: asked for only when the list is opened.
$('output').addEventListener('focus', async () => {
    if (midiAccess || !navigator.requestMIDIAccess) return;
    try {
        midiAccess = await navigator.requestMIDIAccess();
        for (const port of midiAccess.outputs.values()) $('output').add(new Option(port.name, port.id));
    } catch { /* no access: the synthesizer only */ }
});

// --- Convert Many: a zip of converted styles and batch's summary ------------------------------
$('batch').onclick = () => $('batchDialog').showModal();
$('batchClose').onclick = () => $('batchDialog').close();
async function convertMany(fileList) {
    const files = [];
    for (const file of fileList) files.push({ name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) });
    const pairs = $('batchPattern').value.split('\n').map((line) => line.split('='))
        .filter((pair) => pair.length === 2).map(([from, to]) => [from.trim(), to.trim()]);
    const result = korvane.convertMany(files, { model: modelName(), rule: $('batchRule').value, pairs });
    $('batchSummary').textContent = result.summary;
    const entries = {};
    for (const file of result.files) if (file.bytes) entries[file.name] = file.bytes;
    entries['summary.txt'] = new TextEncoder().encode(result.summary + '\n');
    download(fflate.zipSync(entries), `korvane-${modelName()}.zip`, 'application/zip');
}
$('batchFiles').onchange = (event) => convertMany([...event.target.files]);
// A folder gives its own files, as batch converts them: the files of its subfolders stay out, as
// their names may be those of files above them, and the zip holds one file of a name.
$('batchFolder').onchange = (event) => convertMany([...event.target.files]
    .filter((file) => file.webkitRelativePath.split('/').length === 2));

$('help').onclick = () => showMessages([{ caption: 'Help', icon: 'information', text:
    'Open one or more styles, choose the Keyboard, click a section and then a slot (an assigned ' +
    'slot frees when clicked), or use Copy All or Assign by Name; Save downloads the new style. ' +
    'Rest on a section to see its notes. Nothing you open leaves this computer.' }]);

// The core stops only when the memory the page may take has run out: the user is told, and the
// page starts again (the core's state is lost with it).
function coreStopped(error) {
    if (!(error instanceof WebAssembly.RuntimeError)) return;
    showMessages([{ caption: 'Sorry...', icon: 'exclamation',
                    text: 'Not enough memory to convert this file.\nThe page starts again.' }])
        .then(() => location.reload());
}
window.addEventListener('error', (event) => coreStopped(event.error));
window.addEventListener('unhandledrejection', (event) => coreStopped(event.reason));

if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
setButton($('pause'), false);
setButton($('stop'), false);
render();
window.korvanePage = { korvane, session, ready: true };

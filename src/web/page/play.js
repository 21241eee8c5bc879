// Playing a new style: the core's scheduler hands out the events as they fall due, to the
// synthesizer at the start of each audio block or to a MIDI output port with their times.

// Sends one MIDI message (the core's bytes) to a js-synthesizer Synthesizer.
export function sendToSynthesizer(synth, bytes) {
    const status = bytes[0] & 0xf0, channel = bytes[0] & 0x0f;
    switch (status) {
    case 0x80: synth.midiNoteOff(channel, bytes[1]); break;
    case 0x90:
        if (bytes[2] === 0) synth.midiNoteOff(channel, bytes[1]);
        else synth.midiNoteOn(channel, bytes[1], bytes[2]);
        break;
    case 0xa0: synth.midiKeyPressure(channel, bytes[1], bytes[2]); break;
    case 0xb0: synth.midiControl(channel, bytes[1], bytes[2]); break;
    case 0xc0: synth.midiProgramChange(channel, bytes[1]); break;
    case 0xd0: synth.midiChannelPressure(channel, bytes[1]); break;
    case 0xe0: synth.midiPitchBend(channel, bytes[1] | (bytes[2] << 7)); break;
    case 0xf0: {
        // FluidSynth takes a system-exclusive message without its F0 and F7.
        const end = bytes[bytes.length - 1] === 0xf7 ? bytes.length - 1 : bytes.length;
        if (bytes[0] === 0xf0 && end > 1) synth.midiSysEx(bytes.subarray(1, end));
        break;
    }
    }
}

// Plays a scheduler's events on a Web MIDI output port (or anything with send(bytes, time)) by a
// clock in milliseconds: each event is sent ahead with its own time. stop() silences every
// channel; play() after a stop sends the notes the stop cut again, then goes on from there.
export class PortPlayer {
    constructor(port, clock = () => performance.now(), timers = globalThis) {
        this.port = port;
        this.clock = clock;
        this.timers = timers;
        this.scheduler = null;
        this.timer = null;
        this.reached = 0;     // seconds of the style played when stopped
        this.silenced = false;
        this.sounded = false; // anything sent since the last silence
        this.onEnd = null;
    }
    static lookAhead = 0.1; // seconds sent ahead of the clock
    load(scheduler) {
        this.stop();
        this.scheduler = scheduler;
        this.reached = 0;
        this.silenced = false;
    }
    rewind() {
        this.stopTimer();
        this.scheduler.rewind();
        this.reached = 0;
        this.silenced = false;
    }
    play() {
        if (!this.scheduler) return;
        this.stopTimer();
        if (this.silenced) {
            for (const [, bytes] of this.scheduler.soundingNotes()) this.send(bytes, this.clock());
            this.silenced = false;
        }
        this.origin = this.clock() - this.reached * 1000;
        this.tick();
        this.timer = this.timers.setInterval(() => this.tick(), 25);
    }
    tick() {
        const now = (this.clock() - this.origin) / 1000;
        for (const [seconds, bytes] of this.scheduler.takeDue(now + PortPlayer.lookAhead))
            this.send(bytes, this.origin + seconds * 1000);
        this.reached = now;
        if (this.scheduler.finished() && now >= this.scheduler.duration()) {
            this.stopTimer();
            if (this.onEnd) this.onEnd();
        }
    }
    send(bytes, time) {
        this.port.send(bytes, time);
        this.sounded = true;
    }
    stopTimer() {
        if (this.timer !== null) this.timers.clearInterval(this.timer);
        this.timer = null;
    }
    // Stops where playback stands and silences every channel: All Notes Off, All Sound Off.
    stop() {
        const wasPlaying = this.timer !== null;
        this.stopTimer();
        if (wasPlaying) this.reached = (this.clock() - this.origin) / 1000;
        if (this.sounded) {
            for (let channel = 0; channel < 16; ++channel) {
                this.port.send([0xb0 | channel, 123, 0]);
                this.port.send([0xb0 | channel, 120, 0]);
            }
            this.sounded = false;
        }
        if (this.scheduler) this.silenced = true;
    }
}

// Plays a scheduler's events through a js-synthesizer Synthesizer into the page's audio: each
// block of samples first takes the events due before its end.
export class SynthPlayer {
    constructor(synth, context) {
        this.synth = synth;
        this.context = context;
        this.scheduler = null;
        this.seconds = 0;
        this.node = null;
        this.onEnd = null;
        this.onFirstSample = null;
    }
    load(scheduler) {
        this.stop();
        this.scheduler = scheduler;
        this.seconds = 0;
    }
    rewind() {
        this.pauseNode();
        this.scheduler.rewind();
        this.seconds = 0;
    }
    play() {
        if (!this.scheduler || this.node) return;
        const frames = 512;
        const node = this.context.createScriptProcessor(frames, 0, 2);
        node.onaudioprocess = (event) => {
            const out = event.outputBuffer;
            const left = out.getChannelData(0), right = out.getChannelData(1);
            this.seconds += frames / out.sampleRate;
            for (const [, bytes] of this.scheduler.takeDue(this.seconds))
                sendToSynthesizer(this.synth, bytes);
            this.synth.render([left, right]);
            if (this.onFirstSample && left.some((sample) => sample !== 0)) {
                this.onFirstSample();
                this.onFirstSample = null;
            }
            if (this.scheduler.finished() && this.seconds >= this.scheduler.duration() + 1) {
                setTimeout(() => { this.stop(); if (this.onEnd) this.onEnd(); });
            }
        };
        node.connect(this.context.destination);
        this.node = node;
        if (this.context.state !== 'running') this.context.resume();
    }
    pauseNode() {
        if (this.node) {
            this.node.disconnect();
            this.node.onaudioprocess = null;
            this.node = null;
        }
        this.synth.midiAllSoundsOff();
    }
    stop() { this.pauseNode(); }
}

// Renders a scheduler's events offline into a 16-bit stereo 44.1 kHz WAV file, as --render does:
// the events once, then the release until everything has fallen silent (at most two seconds),
// cut after the last sound. activeVoices tells how many voices of the synthesizer still sound.
export function renderWav(synth, scheduler, activeVoices = () => 0) {
    const rate = 44100, block = 512, silent = 4;
    const left = new Float32Array(block), right = new Float32Array(block);
    const sample = (value) => Math.round(Math.max(-1, Math.min(32767 / 32768, value)) * 32768);
    const blocks = [];
    const renderBlock = (frame) => {
        for (const [, bytes] of scheduler.takeDue((frame + block) / rate)) sendToSynthesizer(synth, bytes);
        synth.render([left, right]);
        const samples = new Int16Array(block * 2);
        for (let i = 0; i < block; ++i) {
            samples[2 * i] = sample(left[i]);
            samples[2 * i + 1] = sample(right[i]);
        }
        blocks.push(samples);
        return samples;
    };
    scheduler.rewind();
    scheduler.setRepeat(false);
    let frames = 0;
    for (; !scheduler.finished() && frames < 3600 * rate; frames += block) renderBlock(frames);
    const eventBlocks = blocks.length;
    for (let released = 0; released < 2 * rate; released += block) {
        const quiet = renderBlock(frames + released).every((value) => Math.abs(value) <= silent);
        if (quiet && activeVoices() === 0) break;
    }
    const release = blocks.splice(eventBlocks).reduce((all, part) => [...all, ...part], []);
    let kept = release.length;
    while (kept > 0 && Math.abs(release[kept - 1]) <= silent) --kept;
    kept += kept % 2;
    const samples = blocks.length * block * 2 + kept;
    const wav = new DataView(new ArrayBuffer(44 + samples * 2));
    const text = (offset, value) => [...value].forEach((c, i) => wav.setUint8(offset + i, c.charCodeAt(0)));
    text(0, 'RIFF'); wav.setUint32(4, 36 + samples * 2, true); text(8, 'WAVE');
    text(12, 'fmt '); wav.setUint32(16, 16, true); wav.setUint16(20, 1, true); wav.setUint16(22, 2, true);
    wav.setUint32(24, rate, true); wav.setUint32(28, rate * 4, true); wav.setUint16(32, 4, true);
    wav.setUint16(34, 16, true); text(36, 'data'); wav.setUint32(40, samples * 2, true);
    let at = 44;
    for (const part of [...blocks, release.slice(0, kept)])
        for (const value of part) { wav.setInt16(at, value, true); at += 2; }
    synth.midiAllSoundsOff();
    return new Uint8Array(wav.buffer);
}

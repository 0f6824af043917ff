// Player: plays notes with Web Audio and a small synthesizer of its own: an
// oscillator with an envelope for each note, as loud as its velocity, and a
// voice made of filtered noise for the drums of channel 10; the time comes
// from the file's tempo map. Every sound is made here: nothing is loaded.
//
//   Player.play({division, tempos, from, end, ask, onTick, onEnd})
//   Player.stop()
//   Player.playing
//
// `tempos` holds the tempo events' ticks and microseconds per quarter note
// ({ticks, microseconds}), as the preview gives them; the song plays from tick `from` to tick `end`.
// ask(from, to) gives a promise of the notes that start in ticks [from, to)
// ({starts, ends, keys, velocities}, keys as the preview packs them), or of
// null when there are none to play any more: the notes are asked for a
// short window at a time, just ahead of the sound, so that a file of a
// million notes never makes more than a window's nodes. onTick(tick) is
// called on each frame while it plays, onEnd() when the song has ended.
'use strict';

const Player = (() => {
  const kAhead = 0.3;      // seconds of notes scheduled ahead of the sound
  const kWindow = 0.25;    // seconds of notes asked for at a time
  const kMaxNotes = 400;   // notes taken from one window; more are left out
  const kMaxVoices = 48;   // notes sounding at once; more are left out
  const kLate = 0.05;      // a note this late is left out rather than played late
  const kRelease = 0.06;   // the time constant of a note's fading after its end
  const kDrumChannel = 9;  // channel 10

  let context = null;
  let noise = null;        // a second of white noise, for the drums
  let session = null;      // what plays now

  // Ticks to seconds and back, from the tempo events; 120 beats a minute
  // until the first.
  function tempoMap(division, tempos) {
    const ticks = [0];
    const seconds = [0];
    const rates = [0.5 / division];  // seconds per tick
    for (let i = 0; i < tempos.ticks.length; ++i) {
      const tick = tempos.ticks[i];
      // A tempo of 0 would stop time; the fastest one played is 1 ms a beat.
      const rate = Math.max(tempos.microseconds[i], 1000) / 1e6 / division;
      const last = ticks.length - 1;
      if (tick <= ticks[last]) {
        rates[last] = rate;
        continue;
      }
      seconds.push(seconds[last] + (tick - ticks[last]) * rates[last]);
      ticks.push(tick);
      rates.push(rate);
    }
    // The last segment whose start in `starts` is at or before `value`.
    const segment = (starts, value) => {
      let low = 0;
      let high = starts.length - 1;
      while (low < high) {
        const middle = (low + high + 1) >> 1;
        if (starts[middle] <= value) low = middle;
        else high = middle - 1;
      }
      return low;
    };
    return {
      seconds(tick) {
        const i = segment(ticks, tick);
        return seconds[i] + (tick - ticks[i]) * rates[i];
      },
      tick(time) {
        const i = segment(seconds, time);
        return ticks[i] + (time - seconds[i]) / rates[i];
      },
    };
  }

  function audio() {
    if (!context) {
      context = new AudioContext();
      noise = context.createBuffer(1, context.sampleRate, context.sampleRate);
      const samples = noise.getChannelData(0);
      for (let i = 0; i < samples.length; ++i) samples[i] = Math.random() * 2 - 1;
    }
    return context;
  }

  // The drums by key (the General MIDI drum map, roughly): a pitched thump
  // (`tone`: from and to in Hz), filtered noise (`filter`: type, Hz, Q), or
  // both; `length` in seconds, `level` from 0 to 1.
  function drumSound(key) {
    if (key === 35 || key === 36) return { tone: [150, 45], length: 0.35, level: 0.9 };
    if (key === 38 || key === 40) {
      return { tone: [220, 160], filter: ['bandpass', 1800, 0.7], length: 0.2, level: 0.6 };
    }
    if ([41, 43, 45, 47, 48, 50].includes(key)) {
      const hz = 60 * 2 ** ((key - 35) / 12);
      return { tone: [hz * 1.4, hz], length: 0.3, level: 0.7 };
    }
    if (key === 42 || key === 44) return { filter: ['highpass', 7000, 0.7], length: 0.05, level: 0.35 };
    if (key === 46) return { filter: ['highpass', 7000, 0.7], length: 0.3, level: 0.35 };
    if ([49, 52, 55, 57].includes(key)) return { filter: ['highpass', 5000, 0.7], length: 1.2, level: 0.3 };
    if ([51, 53, 59].includes(key)) return { filter: ['highpass', 6500, 0.7], length: 0.5, level: 0.25 };
    return { filter: ['bandpass', 400 * 2 ** ((key - 35) / 24), 1], length: 0.12, level: 0.4 };
  }

  // Waves by channel, and how loud each is at its fullest.
  const kWaves = ['triangle', 'square', 'sawtooth', 'sine'];
  const kLevels = { triangle: 0.5, square: 0.18, sawtooth: 0.2, sine: 0.5 };

  function keep(s, source) {
    s.sources.add(source);
    source.onended = () => s.sources.delete(source);
  }

  function tone(s, at, until, key, loudness, channel) {
    const ctx = s.ctx;
    const osc = ctx.createOscillator();
    osc.type = kWaves[channel % kWaves.length];
    osc.frequency.value = 440 * 2 ** ((key - 69) / 12);
    const peak = kLevels[osc.type] * loudness;
    const gain = ctx.createGain();
    gain.gain.setValueAtTime(0, at);
    gain.gain.linearRampToValueAtTime(peak, at + 0.005);
    gain.gain.setTargetAtTime(peak * 0.55, at + 0.005, 0.12);
    gain.gain.setTargetAtTime(0, until, kRelease);
    osc.connect(gain).connect(s.out);
    osc.start(at);
    osc.stop(until + 5 * kRelease);
    keep(s, osc);
  }

  function drum(s, at, key, loudness) {
    const ctx = s.ctx;
    const sound = drumSound(key);
    const level = sound.level * loudness;
    // `source` sounds from `at` and fades out over the drum's length,
    // through `filter` when one is given.
    const sounding = (source, filter) => {
      const gain = ctx.createGain();
      gain.gain.setValueAtTime(level, at);
      gain.gain.exponentialRampToValueAtTime(level / 1000, at + sound.length);
      (filter ? source.connect(filter) : source).connect(gain).connect(s.out);
      source.start(at);
      source.stop(at + sound.length);
      keep(s, source);
    };
    if (sound.tone) {
      const osc = ctx.createOscillator();
      osc.frequency.setValueAtTime(sound.tone[0], at);
      osc.frequency.exponentialRampToValueAtTime(sound.tone[1], at + sound.length / 2);
      sounding(osc, null);
    }
    if (sound.filter) {
      const source = ctx.createBufferSource();
      source.buffer = noise;
      source.loop = true;
      const filter = ctx.createBiquadFilter();
      [filter.type, filter.frequency.value, filter.Q.value] = sound.filter;
      sounding(source, filter);
    }
  }

  // The song's time now, in seconds from its start.
  const songTime = (s) => s.ctx.currentTime - s.startAt + s.fromSeconds;

  function schedule(s, notes) {
    const { map, ctx } = s;
    const now = ctx.currentTime;
    for (let i = 0; i < notes.starts.length; ++i) {
      let at = s.startAt + map.seconds(notes.starts[i]) - s.fromSeconds;
      if (at < now - kLate) continue;
      at = Math.max(at, now);
      const until = Math.max(at + 0.02, s.startAt + map.seconds(notes.ends[i]) - s.fromSeconds);
      s.voices = s.voices.filter((end) => end > at);
      if (s.voices.length >= kMaxVoices) continue;
      const packed = notes.keys[i];
      const channel = (packed >> 8) & 0x0F;
      const loudness = (notes.velocities[i] / 127) ** 2;
      if (channel === kDrumChannel) {
        drum(s, at, packed & 0x7F, loudness);
        s.voices.push(at + drumSound(packed & 0x7F).length);
      } else {
        tone(s, at, until, packed & 0x7F, loudness, channel);
        s.voices.push(until + 3 * kRelease);
      }
    }
  }

  // Asks for the next window of notes once the ones asked for run short.
  function pump(s) {
    if (s !== session || s.asking || s.askedTo > s.end) return;
    const from = s.askedTo;
    const fromTime = s.map.seconds(from);
    if (fromTime > songTime(s) + kAhead) return;
    const to = Math.max(from + 1, Math.ceil(s.map.tick(fromTime + kWindow)));
    s.asking = true;
    s.ask(from, to, kMaxNotes).then((notes) => {
      if (s !== session) return;
      s.asking = false;
      if (!notes) {
        stop();
        return;
      }
      schedule(s, notes);
      s.askedTo = to;
      pump(s);
    });
  }

  function frame(s) {
    if (s !== session) return;
    const time = songTime(s);
    if (time > s.endTime + 0.3) {
      stop();
      s.onEnd();
      return;
    }
    s.onTick(Math.min(s.end, Math.max(s.from, s.map.tick(time))));
    s.frame = requestAnimationFrame(() => frame(s));
  }

  function play({ division, tempos, from = 0, end, ask, onTick, onEnd }) {
    stop();
    const ctx = audio();
    if (ctx.state === 'suspended') ctx.resume();
    const map = tempoMap(division, tempos);
    const compressor = ctx.createDynamicsCompressor();
    const out = ctx.createGain();
    out.gain.value = 0.6;
    out.connect(compressor).connect(ctx.destination);
    const s = {
      ctx, map, out, ask, onTick, onEnd, from, end,
      fromSeconds: map.seconds(from), endTime: map.seconds(end),
      // A moment's grace, so that the first notes are not late.
      startAt: ctx.currentTime + 0.1,
      askedTo: from, asking: false, voices: [], sources: new Set(),
    };
    session = s;
    s.timer = setInterval(() => pump(s), 50);
    pump(s);
    frame(s);
  }

  function stop() {
    const s = session;
    if (!s) return;
    session = null;
    clearInterval(s.timer);
    cancelAnimationFrame(s.frame);
    const now = s.ctx.currentTime;
    s.out.gain.setTargetAtTime(0, now, 0.01);
    for (const source of s.sources) {
      try { source.stop(now + 0.05); } catch { /* not started */ }
    }
    setTimeout(() => s.out.disconnect(), 200);
  }

  return {
    play,
    stop,
    get playing() { return session !== null; },
    available: typeof AudioContext !== 'undefined',
  };
})();

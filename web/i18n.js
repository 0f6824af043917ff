// I18n: the page's words in Japanese and English, and an English line for
// each of the program's messages (which are Japanese, code page 932, and are
// shown decoded as they are).
'use strict';

const I18n = (() => {
  const texts = {
    en: {
      subtitle: 'MIDI → MML',
      language: 'Language',
      intro: 'Converts a Standard MIDI File into MML. The file never leaves this computer: '
        + 'the converter runs in this page.',
      drop: 'Drop a .mid, .midi or .kar file here, or choose one:',
      options: 'Options',
      dialect: 'Dialect',
      dialectMml: 'ASCII',
      dialectKana: 'kana (/J)',
      layout: 'Bars and lines',
      barLines: 'bar lines and line breaks (/B)',
      lineBreaks: 'line breaks (/C):',
      lineEvery: 'every N bars',
      lineNote: 'after every note or rest (0)',
      lineNever: 'never (-1)',
      lineBars: 'N =',
      pickup: 'pickup, ticks (/A):',
      leaveOut: 'Leave out (/M)',
      filterA: 'after touch',
      filterB: 'pitch bend',
      filterC: 'control change',
      filterP: 'program change',
      filterX: 'SysEx',
      filterM: 'meta events',
      filterAll: 'everything but notes',
      commandLine: 'The same on the command line:',
      convert: 'Convert',
      busy: 'Converting…',
      preview: 'Notes and bars',
      colourBy: 'Colours:',
      byTrack: 'by track',
      byChannel: 'by channel',
      zoom: 'Zoom:',
      result: 'Result',
      download: 'Download',
      fileInfo: (name, size) => `${name} (${size.toLocaleString('en')} bytes)`,
      rollInfo: (notes, tracks, division) =>
        `${notes.toLocaleString('en')} notes, ${tracks} tracks, ${division} ticks per quarter note`,
      track: (n) => `track ${n}`,
      channel: (n) => `channel ${n}`,
      pickupLabel: 'pickup',
      mmlCut: (shown, total) => `The first ${shown.toLocaleString('en')} of `
        + `${total.toLocaleString('en')} bytes are shown; the download holds them all.`,
      noMml: 'No MML file was written.',
      notMidi: 'This file cannot be read.',
    },
    ja: {
      subtitle: 'MIDI → MML',
      language: '言語',
      intro: 'Standard MIDI File を MML に変換します。変換はこのページの中で行われ、'
        + 'ファイルがこのコンピューターの外に送られることはありません。',
      drop: '.mid・.midi・.kar ファイルをここにドロップするか、選んでください：',
      options: 'オプション',
      dialect: '出力形式',
      dialectMml: 'ASCII',
      dialectKana: 'みるぱ (/J)',
      layout: '小節線と改行',
      barLines: '小節線と改行を出力する (/B)',
      lineBreaks: '改行 (/C)：',
      lineEvery: 'N 小節ごと',
      lineNote: '音符毎 (0)',
      lineNever: '改行しない (-1)',
      lineBars: 'N =',
      pickup: '弱起 (tick) (/A)：',
      leaveOut: '出力しないもの (/M)',
      filterA: 'アフタータッチ',
      filterB: 'ピッチベンド',
      filterC: 'コントロールチェンジ',
      filterP: 'プログラムチェンジ',
      filterX: 'SysEx',
      filterM: 'メタイベント',
      filterAll: '音符以外すべて',
      commandLine: 'コマンドラインでは：',
      convert: '変換',
      busy: '変換中…',
      preview: '音符と小節',
      colourBy: '色分け：',
      byTrack: 'トラック別',
      byChannel: 'チャンネル別',
      zoom: '拡大：',
      result: '結果',
      download: 'ダウンロード',
      fileInfo: (name, size) => `${name}（${size.toLocaleString('ja')} バイト）`,
      rollInfo: (notes, tracks, division) =>
        `音符 ${notes.toLocaleString('ja')} 個、${tracks} トラック、四分音符 = ${division} tick`,
      track: (n) => `トラック ${n}`,
      channel: (n) => `チャンネル ${n}`,
      pickupLabel: '弱起',
      mmlCut: (shown, total) => `${total.toLocaleString('ja')} バイトのうち最初の `
        + `${shown.toLocaleString('ja')} バイトを表示しています。ダウンロードには全部が入っています。`,
      noMml: 'MMLファイルは出力されませんでした。',
      notMidi: 'このファイルは読めません。',
    },
  };

  // The program's messages as they read decoded, with their meaning. A line
  // of its output that contains one gets that English line.
  const messages = [
    ['SMFファイルのデータが不正です。', 'The data of the SMF is not valid:'],
    ['MThdチャンクがありません。', 'There is no MThd chunk: this is not a Standard MIDI File.'],
    ['Format 2には対応しておりません。', 'Format 2 files are not supported.'],
    ['未知のフォーマットです。', 'The header gives an unknown format.'],
    ['トラック数が0です。', 'The header says the file has no tracks.'],
    ['Format 0なのに、複数のトラックがあります。', 'A format 0 file with more than one track.'],
    ['timebaseが0tickです。', 'The time base is 0 ticks per quarter note.'],
    ['秒指定の時間単位には対応しておりません。', 'Time in SMPTE frames (seconds) is not supported.'],
    ['MTrkチャンクがありません。', 'A track chunk (MTrk) is missing.'],
    ['トラックの途中でファイルが終わっています。', 'The file ends in the middle of a track.'],
    ['無効なMIDIイベントを検出しました。', 'An event that no MIDI file may hold was found.'],
    ['無効なシーケンス番号。', 'A sequence number event of the wrong length.'],
    ['無効なチャンネルプリフィックス。', 'A channel prefix event of the wrong length.'],
    ['無効なポート番号。', 'A port number event of the wrong length.'],
    ['無効なEnd of Track。', 'An end-of-track event of the wrong length.'],
    ['無効なTempo。', 'A tempo event of the wrong length.'],
    ['無効なSMPTEオフセット。', 'An SMPTE offset event of the wrong length.'],
    ['無効な拍子。', 'A time signature event of the wrong length.'],
    ['無効な調号。', 'A key signature event of the wrong length.'],
    ['無効なMeta Event', 'A meta event of the wrong length.'],
    ['SMFファイルが2回以上指定されました。', 'More than one SMF was named.'],
    ['/F ファイル名が書いてありません。', '/F has no file name.'],
    ['/F MMLファイルが2回以上指定されました。', 'More than one MML file was named.'],
    ['SMFファイルと同じファイルには出力できません。', 'The MML cannot be written over the SMF.'],
    ['オプションが不正です。：', 'This option is not valid:'],
  ];

  function english(line) {
    for (const [japanese, meaning] of messages) {
      if (line.includes(japanese)) {
        // The option fault ends with the option that was refused.
        const rest = line.slice(line.indexOf(japanese) + japanese.length);
        return japanese.endsWith('：') ? `${meaning} ${rest}` : meaning;
      }
    }
    return '';
  }

  // The language the browser prefers, if it is one of ours.
  function preferred() {
    const wanted = (navigator.languages && navigator.languages[0]) || navigator.language || 'en';
    return wanted.toLowerCase().startsWith('ja') ? 'ja' : 'en';
  }

  return {
    language: 'en',
    text(key, ...args) {
      const entry = texts[this.language][key];
      return typeof entry === 'function' ? entry(...args) : entry;
    },
    // Sets the language and rewrites every element marked with data-text.
    apply(language) {
      this.language = texts[language] ? language : 'en';
      document.documentElement.lang = this.language;
      for (const element of document.querySelectorAll('[data-text]')) {
        element.textContent = this.text(element.dataset.text);
      }
    },
    preferred,
    english,
  };
})();

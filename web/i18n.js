// I18n: the page's words in Japanese and English, plain words for each kind
// of fault the program reports (its own message, Japanese, is shown beside
// them as it is), and the names of keys and bars for the listing.
'use strict';

const I18n = (() => {
  const plural = (n, one, many) => `${n.toLocaleString('en')} ${n === 1 ? one : many}`;
  const texts = {
    en: {
      title: 'vantrel — MIDI to MML',
      subtitle: 'MIDI → MML',
      language: 'Language',
      intro: 'Converts Standard MIDI Files into MML. The files never leave this computer: '
        + 'the converter runs in this page, also offline.',
      drop: 'Drop .mid, .midi, .kar or .rmi files here, or click to choose them',
      chooseFiles: 'Choose MIDI files',
      noFile: 'No file chosen yet.',
      filesHeading: 'Files',
      options: 'Options',
      dialect: 'Dialect',
      dialectMml: 'ASCII',
      dialectKana: 'kana (/J)',
      layout: 'Bars and lines',
      barLines: 'bar lines and line breaks (/B)',
      lineBreaks: 'line breaks (/C)',
      lineEvery: 'every N bars',
      lineNote: 'after every note or rest (0)',
      lineNever: 'never (-1)',
      lineBars: 'N (bars per line)',
      pickup: 'pickup (/A)',
      pickupTicks: 'ticks',
      pickupBeats: 'beats',
      pickupPick: 'Pick in the roll',
      pickupPicking: 'Click where the first full bar starts…',
      leaveOut: 'Leave out (/M)',
      filterA: 'after touch',
      filterB: 'pitch bend',
      filterC: 'control change',
      filterP: 'program change',
      filterX: 'SysEx',
      filterM: 'meta events',
      filterAll: 'everything but notes',
      gridLegend: 'Grid (/Q)',
      grid: 'notes on a grid',
      gridOff: 'off (exact)',
      gridAuto: 'auto',
      grid4: 'quarters',
      grid8: 'eighths',
      grid12: 'eighth-note triplets',
      grid16: 'sixteenths',
      grid24: 'sixteenth-note triplets',
      grid32: 'thirty-seconds',
      gridChosen: (note) => `the program chose 1/${note}; faint: where the notes were played`,
      gridShown: 'faint: where the notes were played',
      choiceLegend: 'Tracks and channels (--tracks, --channels)',
      tracksLabel: 'Tracks',
      channelsLabel: 'Channels',
      noTrackTicked: 'Tick at least one track.',
      noChannelTicked: 'Tick at least one channel.',
      voicesLegend: 'Voices and velocity',
      voices: 'a section per voice (--voices)',
      voicesHint: 'drums: a line per sound',
      velocityStep: 'velocity in steps of (--velocity-step)',
      velocityStepHint: '1 to 127; empty: every change',
      velocityStepInvalid: 'The step must be a whole number from 1 to 127, or empty.',
      commandLine: 'The same on the command line:',
      convert: 'Convert now',
      busy: 'Converting…',
      preview: 'Notes and bars',
      colourBy: 'Colours',
      byTrack: 'by track',
      byChannel: 'by channel',
      byVoice: 'by voice',
      zoom: 'Zoom',
      resultBar: 'Result',
      result: 'MML',
      download: 'Download',
      downloadIncomplete: 'Download (incomplete)',
      downloadZip: 'Download all as .zip',
      copy: 'Copy MML',
      copied: 'Copied.',
      copyFailed: 'The browser did not allow copying: select the text and copy it by hand.',
      rawListing: 'The listing as the program prints it',
      listingHeading: 'Bars, time and key signatures',
      mmlLabel: 'MML text',
      rollLabel: 'Piano roll',
      fileInfo: (name, size) => `${name} (${size.toLocaleString('en')} bytes)`,
      rollInfo: (notes, tracks, division) =>
        `${plural(notes, 'note', 'notes')}, ${plural(tracks, 'track', 'tracks')}, `
        + `${division} ticks per quarter note`,
      rollSummary: (notes, tracks, bars, low, high, first) => (notes === 0 ? 'The file has no notes.'
        : `${plural(notes, 'note', 'notes')} in ${plural(tracks, 'track', 'tracks')} over `
          + `${plural(bars, 'bar', 'bars')}, from ${low} to ${high}; ${first}.`),
      track: (n) => `track ${n}`,
      channel: (n) => `channel ${n}`,
      voice: (n) => `voice ${n}`,
      drumVoice: (n, name) => `voice ${n}: ${name}`,
      pickupLabel: 'pickup',
      listingLine: (bar, signature, key) => `bar ${bar}: ${signature}, ${key}`,
      pickupLine: (ticks) => `bar 1 is a pickup of ${plural(ticks, 'tick', 'ticks')}`,
      major: (name) => `${name} major`,
      minor: (name) => `${name} minor`,
      statusNone: 'Choose a MIDI file to convert it.',
      statusBusy: (name) => `Converting ${name}…`,
      statusDone: (name, size) => `${name} converted: ${size.toLocaleString('en')} bytes of MML.`,
      statusFault: (name) => `${name}: stopped by a fault in the file.`,
      statusRefused: (name) => `${name}: the options chosen do not fit this file.`,
      statusIncomplete: (size) => `The ${size.toLocaleString('en')} bytes of MML written before it `
        + 'are incomplete.',
      statusNoMml: 'No MML was written.',
      statusOptions: 'Check the options: nothing was converted.',
      statusError: 'The converter failed:',
      listStatus: { waiting: 'waiting', busy: 'converting…', done: 'converted', fault: 'fault',
        incomplete: 'fault (MML incomplete)' },
      listName: 'File',
      listState: 'Status',
      listOutput: 'MML',
      programSays: 'The program says:',
      mmlCut: (shown, total) => `The first ${shown.toLocaleString('en')} of `
        + `${total.toLocaleString('en')} bytes are shown; the download holds them all.`,
      lineBarsInvalid: 'N must be a whole number of bars, 1 or more.',
      pickupInvalid: 'The pickup must be a whole number of ticks, 0 or more.',
      pickupBeatsInvalid: 'The pickup in beats must come to a whole number of ticks, 0 or more.',
      pickupTooBig: 'The pickup is too long.',
      previewFault: 'The roll shows the notes read before the fault (see Result).',
      play: 'Play',
      stop: 'Stop',
      asPlayed: 'as played (off the grid)',
      noAudio: 'This browser cannot play sound.',
      moduleMemory: 'This file needs more memory than this page has: it was not converted. '
        + 'The converter has been started afresh for the next file (the command line may convert this one).',
      moduleCrash: 'The converter stopped with a fault of its own on this file: it was not converted. '
        + 'The converter has been started afresh for the next file.',
      copyTooBig: (size) => `${size.toLocaleString('en')} bytes are too many to copy here: download the file.`,
      zipWaiting: 'The .zip is ready once every file has been converted.',
      zipNone: 'No file converted, so there is nothing to put in a .zip.',
      zipSome: (done, failed, listing) => `The .zip holds the ${plural(done, 'file', 'files')} that `
        + `converted and ${listing}, which lists the ${plural(failed, 'file', 'files')} that did not and why.`,
      zipListingName: 'not-converted.txt',
      zipListingTitle: (failed, total, command) => `${failed} of ${total} files were not converted `
        + `(${command}):`,
      zipIncomplete: 'the MML written before the fault is not in this archive',
      mmlCapped: (name, size, mebibytes) => `${name} (${size.toLocaleString('en')} bytes) makes more than `
        + `${mebibytes} MiB of MML, more than this page holds: nothing was written.`,
      mmlCappedHow: (command) => `The command line writes it all (${command}), or as much as you allow `
        + 'with --max-output.',
    },
    ja: {
      title: 'vantrel — MIDI から MML へ',
      subtitle: 'MIDI → MML',
      language: '言語',
      intro: 'Standard MIDI File を MML に変換します。変換はこのページの中で行われ（オフラインでも）、'
        + 'ファイルがこのコンピューターの外に送られることはありません。',
      drop: '.mid・.midi・.kar・.rmi ファイルをここにドロップするか、クリックして選んでください',
      chooseFiles: 'MIDI ファイルを選ぶ',
      noFile: 'ファイルはまだ選ばれていません。',
      filesHeading: 'ファイル',
      options: 'オプション',
      dialect: '出力形式',
      dialectMml: 'ASCII',
      dialectKana: 'みるぱ (/J)',
      layout: '小節線と改行',
      barLines: '小節線と改行を出力する (/B)',
      lineBreaks: '改行 (/C)',
      lineEvery: 'N 小節ごと',
      lineNote: '音符毎 (0)',
      lineNever: '改行しない (-1)',
      lineBars: 'N（1 行の小節数）',
      pickup: '弱起 (/A)',
      pickupTicks: 'tick',
      pickupBeats: '拍',
      pickupPick: 'ピアノロールで選ぶ',
      pickupPicking: '最初の完全な小節が始まる所をクリックしてください…',
      leaveOut: '出力しないもの (/M)',
      filterA: 'アフタータッチ',
      filterB: 'ピッチベンド',
      filterC: 'コントロールチェンジ',
      filterP: 'プログラムチェンジ',
      filterX: 'SysEx',
      filterM: 'メタイベント',
      filterAll: '音符以外すべて',
      gridLegend: 'クオンタイズ (/Q)',
      grid: '音符をそろえる単位',
      gridOff: 'しない（そのまま）',
      gridAuto: '自動',
      grid4: '4分音符',
      grid8: '8分音符',
      grid12: '8分3連符',
      grid16: '16分音符',
      grid24: '16分3連符',
      grid32: '32分音符',
      gridChosen: (note) => `1/${note} を選びました。薄い色は演奏された位置です`,
      gridShown: '薄い色は演奏された位置です',
      choiceLegend: 'トラックとチャンネル (--tracks, --channels)',
      tracksLabel: 'トラック',
      channelsLabel: 'チャンネル',
      noTrackTicked: 'トラックを 1 つ以上選んでください。',
      noChannelTicked: 'チャンネルを 1 つ以上選んでください。',
      voicesLegend: '声部と音量',
      voices: '声部ごとに書く (--voices)',
      voicesHint: 'ドラムは音色ごとに 1 行',
      velocityStep: '音量を書く差 (--velocity-step)',
      velocityStepHint: '1〜127。空欄：変わるたびに書く',
      velocityStepInvalid: '音量の差は 1〜127 の整数にするか、空欄にしてください。',
      commandLine: 'コマンドラインでは：',
      convert: '今すぐ変換',
      busy: '変換中…',
      preview: '音符と小節',
      colourBy: '色分け',
      byTrack: 'トラック別',
      byChannel: 'チャンネル別',
      byVoice: '声部別',
      zoom: '拡大',
      resultBar: '結果',
      result: 'MML',
      download: 'ダウンロード',
      downloadIncomplete: 'ダウンロード（不完全）',
      downloadZip: 'すべてを .zip でダウンロード',
      copy: 'MML をコピー',
      copied: 'コピーしました。',
      copyFailed: 'ブラウザーがコピーを許しませんでした。テキストを選んで手でコピーしてください。',
      rawListing: 'プログラムが出力するままの一覧',
      listingHeading: '小節・拍子・調',
      mmlLabel: 'MML テキスト',
      rollLabel: 'ピアノロール',
      fileInfo: (name, size) => `${name}（${size.toLocaleString('ja')} バイト）`,
      rollInfo: (notes, tracks, division) =>
        `音符 ${notes.toLocaleString('ja')} 個、${tracks} トラック、四分音符 = ${division} tick`,
      rollSummary: (notes, tracks, bars, low, high, first) => (notes === 0 ? '音符はありません。'
        : `音符 ${notes.toLocaleString('ja')} 個、${tracks} トラック、${bars.toLocaleString('ja')} 小節、`
          + `音域 ${low}〜${high}。${first}。`),
      track: (n) => `トラック ${n}`,
      channel: (n) => `チャンネル ${n}`,
      voice: (n) => `声部 ${n}`,
      drumVoice: (n, name) => `声部 ${n}：${name}`,
      pickupLabel: '弱起',
      listingLine: (bar, signature, key) => `${bar} 小節目から：${signature} 拍子、${key}`,
      pickupLine: (ticks) => `1 小節目は ${ticks.toLocaleString('ja')} tick の弱起`,
      major: (name) => `${name}長調`,
      minor: (name) => `${name}短調`,
      statusNone: 'MIDI ファイルを選ぶと変換します。',
      statusBusy: (name) => `${name} を変換中…`,
      statusDone: (name, size) => `${name} を変換しました（MML ${size.toLocaleString('ja')} バイト）。`,
      statusFault: (name) => `${name}：ファイルの誤りで変換が止まりました。`,
      statusRefused: (name) => `${name}：選んだオプションはこのファイルに合いません。`,
      statusIncomplete: (size) => `それまでに出力された MML ${size.toLocaleString('ja')} バイトは`
        + '不完全です。',
      statusNoMml: 'MML は出力されませんでした。',
      statusOptions: 'オプションを確かめてください。変換していません。',
      statusError: '変換プログラムが失敗しました：',
      listStatus: { waiting: '待機中', busy: '変換中…', done: '変換済み', fault: '誤り',
        incomplete: '誤り（MML は不完全）' },
      listName: 'ファイル',
      listState: '状態',
      listOutput: 'MML',
      programSays: 'プログラムのメッセージ：',
      mmlCut: (shown, total) => `${total.toLocaleString('ja')} バイトのうち最初の `
        + `${shown.toLocaleString('ja')} バイトを表示しています。ダウンロードには全部が入っています。`,
      lineBarsInvalid: 'N は 1 以上の整数（小節数）にしてください。',
      pickupInvalid: '弱起は 0 以上の整数（tick）にしてください。',
      pickupBeatsInvalid: '拍で指定した弱起は 0 以上の整数の tick にならなければなりません。',
      pickupTooBig: '弱起が長すぎます。',
      previewFault: 'ピアノロールには誤りの前までに読めた音符を表示しています（結果を参照）。',
      play: '再生',
      stop: '停止',
      asPlayed: '演奏されたとおりに（クオンタイズ前）',
      noAudio: 'このブラウザーでは音を出せません。',
      moduleMemory: 'このファイルの変換には、このページで使えるより多くのメモリーが必要です。変換していません。'
        + '次のファイルのために変換プログラムを起動し直しました（コマンドラインなら変換できることがあります）。',
      moduleCrash: '変換プログラムがこのファイルで内部の誤りにより止まりました。変換していません。'
        + '次のファイルのために変換プログラムを起動し直しました。',
      copyTooBig: (size) => `${size.toLocaleString('ja')} バイトはここではコピーできません。ダウンロードしてください。`,
      zipWaiting: 'すべてのファイルの変換が終わると .zip をダウンロードできます。',
      zipNone: '変換できたファイルがないので、.zip に入れるものがありません。',
      zipSome: (done, failed, listing) => `.zip には変換できた ${done} 個のファイルと、変換できなかった `
        + `${failed} 個のファイルとその理由の一覧 ${listing} が入ります。`,
      zipListingName: '変換できなかったファイル.txt',
      zipListingTitle: (failed, total, command) => `${total} 個のうち ${failed} 個のファイルは変換できませんでした`
        + `（${command}）：`,
      zipIncomplete: '誤りの前までに出力された MML はこのアーカイブに入っていません',
      mmlCapped: (name, size, mebibytes) => `${name}（${size.toLocaleString('ja')} バイト）からは `
        + `${mebibytes} MiB を超える MML ができ、このページには収まりません。何も出力していません。`,
      mmlCappedHow: (command) => `コマンドラインなら全部を出力します（${command}）。--max-output で上限を`
        + '決めることもできます。',
    },
  };

  // Plain words for each kind of fault the program reports (the core's list
  // of kinds, as the module names them: web/make_page.js stops the build
  // when one has no entry here). Each gives the words in both languages for
  // the fault's subject (an argument or a file's name) and {division}.
  const both = (en, ja) => ({ en: () => en, ja: () => ja });
  const faults = {
    badOption: { en: (s) => `An option is not valid: ${s}`, ja: (s) => `オプションが正しくありません：${s}` },
    secondSmfName: both('More than one MIDI file was named.', 'MIDI ファイルが 2 つ以上指定されました。'),
    noOutputName: both('/F has no file name.', '/F にファイル名がありません。'),
    secondOutputName: both('More than one MML file was named.', 'MML ファイルが 2 つ以上指定されました。'),
    badGrid: {
      en: (s, { division }) => `The grid (${s}) does not fit this file: its step must be a whole number of `
        + `ticks, and the file has ${division} ticks per quarter note.`,
      ja: (s, { division }) => `クオンタイズ (${s}) はこのファイルに合いません。単位が整数の tick にならなければ`
        + `なりませんが、このファイルは四分音符 = ${division} tick です。` },
    badList: { en: (s) => `${s} is no list of numbers such as 1-3,5.`,
      ja: (s) => `${s} は 1-3,5 のような番号の並びではありません。` },
    noSuchTrack: { en: (s) => `The file has no such track (${s}).`,
      ja: (s) => `指定したトラックはこのファイルにありません（${s}）。` },
    noSuchChannel: { en: (s) => `No note or message of the file is on that channel (${s}).`,
      ja: (s) => `指定したチャンネルはこのファイルで使われていません（${s}）。` },
    nothingChosen: { en: (s) => `The tracks and channels chosen hold no notes and no channel messages (${s}).`,
      ja: (s) => `選んだトラックとチャンネルには音符もチャンネルメッセージもありません（${s}）。` },
    fileError: { en: (s) => `${s} could not be read or written.`, ja: (s) => `${s} を読み書きできませんでした。` },
    outputIsInput: both('The MML cannot be written over the MIDI file.',
      'MIDI ファイルに MML を上書きすることはできません。'),
    outputTooLong: both('The MML would be longer than --max-output allows: writing stopped, and nothing was kept.',
      'MML が --max-output の上限を超えるため、書き出しを止めました。何も残していません。'),
    noMThd: both('This is not a MIDI file (or it is damaged at its very start): a Standard MIDI File begins '
      + 'with "MThd".', 'MIDI ファイルではありません（または先頭から壊れています）。'),
    format2: both('This is a format 2 MIDI file (independent patterns), which vantrel cannot convert.',
      'Format 2 の MIDI ファイル（独立したパターンの集まり）は変換できません。'),
    unknownFormat: both('The file says it has a format that no MIDI file has.',
      'MIDI ファイルにはない形式が書かれています。'),
    noTracks: both('The file says it holds no tracks.', 'トラックが 1 つもないと書かれています。'),
    format0Tracks: both('A format 0 file must hold one track, and this one says it holds more.',
      'Format 0 のファイルなのに複数のトラックがあると書かれています。'),
    zeroDivision: both('The file gives 0 ticks per quarter note, so no note has a length.',
      '四分音符が 0 tick とされていて、音の長さが決まりません。'),
    smpteDivision: both('The file counts time in SMPTE frames (seconds), not in beats; vantrel needs beats.',
      '時間が拍ではなく SMPTE のフレーム（秒）で数えられていて、変換できません。'),
    noMTrk: both('A track is missing: the file ends, or holds something else, where a track should start.',
      'トラックが足りません。トラックが始まるはずの所でファイルが終わっているか、別のものがあります。'),
    trackCutShort: both('The file is cut short: it ends in the middle of a track.',
      'ファイルが途中で切れています（トラックの途中で終わっています）。'),
    invalidMidiEvent: both('The file holds a byte that is no MIDI event: it is damaged there.',
      'MIDI イベントではないバイトがあります。その所でファイルが壊れています。'),
    badSequenceNumber: both('A sequence number event has the wrong length.', 'シーケンス番号イベントの長さが違います。'),
    badChannelPrefix: both('A channel prefix event has the wrong length.', 'チャンネルプリフィックスの長さが違います。'),
    badPort: both('A port number event has the wrong length.', 'ポート番号イベントの長さが違います。'),
    badEndOfTrack: both('An end-of-track event has the wrong length.', 'トラックの終わりのイベントの長さが違います。'),
    badTempo: both('A tempo event has the wrong length.', 'テンポイベントの長さが違います。'),
    badSmpteOffset: both('An SMPTE offset event has the wrong length.', 'SMPTE オフセットイベントの長さが違います。'),
    badTimeSignature: both('A time signature event has the wrong length.', '拍子イベントの長さが違います。'),
    badKeySignature: both('A key signature event has the wrong length.', '調号イベントの長さが違います。'),
    badMetaEvent: both('A meta event has the wrong length.', 'メタイベントの長さが違います。'),
  };

  // Key names: [major, minor] for sharps -7 .. 7.
  const keyNames = {
    en: {
      major: ['C♭', 'G♭', 'D♭', 'A♭', 'E♭', 'B♭', 'F', 'C', 'G', 'D', 'A', 'E', 'B', 'F♯', 'C♯'],
      minor: ['A♭', 'E♭', 'B♭', 'F', 'C', 'G', 'D', 'A', 'E', 'B', 'F♯', 'C♯', 'G♯', 'D♯', 'A♯'],
    },
    ja: {
      major: ['変ハ', '変ト', '変ニ', '変イ', '変ホ', '変ロ', 'ヘ', 'ハ', 'ト', 'ニ', 'イ', 'ホ', 'ロ', '嬰ヘ', '嬰ハ'],
      minor: ['変イ', '変ホ', '変ロ', 'ヘ', 'ハ', 'ト', 'ニ', 'イ', 'ホ', 'ロ', '嬰ヘ', '嬰ハ', '嬰ト', '嬰ニ', '嬰イ'],
    },
  };

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
      document.title = this.text('title');
      for (const element of document.querySelectorAll('[data-text]')) {
        element.textContent = this.text(element.dataset.text);
      }
      for (const element of document.querySelectorAll('[data-label]')) {
        element.setAttribute('aria-label', this.text(element.dataset.label));
      }
    },
    // The name of the key of `sharps` (-7 .. 7) and `minor` (0 or 1).
    keyName(sharps, minor) {
      const names = keyNames[this.language];
      const index = Math.max(-7, Math.min(7, sharps)) + 7;
      return minor ? this.text('minor', names.minor[index]) : this.text('major', names.major[index]);
    },
    // The plain words for a fault of `kind` about `subject`; '' for none.
    faultWords(kind, subject, context) {
      const entry = faults[kind];
      return entry ? entry[this.language](subject, context) : '';
    },
    // The kinds the table has words for.
    faultKinds: Object.keys(faults),
    preferred() {
      const wanted = (navigator.languages && navigator.languages[0]) || navigator.language || 'en';
      return wanted.toLowerCase().startsWith('ja') ? 'ja' : 'en';
    },
  };
})();

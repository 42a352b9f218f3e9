// The official OpenAI client library against sint-http: every audio format, a
// speed, and an error as the library reports it. Prints one JSON object.
// Usage: node openai_client.mjs PORT TEXT
import OpenAI from 'openai';

const [port, text] = process.argv.slice(2);
const client = new OpenAI({baseURL: `http://127.0.0.1:${port}/v1`, apiKey: 'no key needed'});

async function speak(options) {
  const reply = await client.audio.speech.create({model: 'tts-1', voice: 'alloy', input: text, ...options});
  return Buffer.from(await reply.arrayBuffer());
}

const result = {formats: {}};
for (const format of ['mp3', 'opus', 'flac', 'wav', 'pcm']) {
  const bytes = await speak({response_format: format});
  result.formats[format] = {bytes: bytes.length, head: bytes.subarray(0, 4).toString('latin1')};
}
result.fast_pcm_bytes = (await speak({response_format: 'pcm', speed: 2})).length;
try {
  await speak({response_format: 'aac'});
  result.error = null;
} catch (error) {
  result.error = {status: error.status, message: error.error?.message ?? String(error)};
}
console.log(JSON.stringify(result));

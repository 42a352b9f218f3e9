#include "tools/sint-http/web_page.h"

namespace sint {

std::string_view web_page() {
    static constexpr std::string_view kPage = R"html(<!DOCTYPE html>
<html lang="sl">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Sinteza slovenskega govora</title>
<style>
body { font: 1.1rem/1.5 sans-serif; max-width: 40rem; margin: 2rem auto; padding: 0 1rem; }
label { display: block; margin-top: 1rem; font-weight: bold; }
textarea { width: 100%; font: inherit; }
input[type=range] { width: 100%; }
button { margin-top: 1rem; font: inherit; padding: 0.4rem 1.2rem; }
:focus { outline: 3px solid #1a5fb4; outline-offset: 2px; }
</style>
</head>
<body>
<main>
<h1>Sinteza slovenskega govora</h1>
<form id="form">
<label for="text">Besedilo</label>
<textarea id="text" name="text" rows="6" required>Dober dan. To je slovenski sintetizator govora.</textarea>
<label for="rate">Hitrost govora<span aria-hidden="true">: <output id="rate-value" for="rate">0</output></span></label>
<input type="range" id="rate" name="rate" min="-10" max="10" step="1" value="0">
<label for="pitch">Višina glasu<span aria-hidden="true">: <output id="pitch-value" for="pitch">0</output></span></label>
<input type="range" id="pitch" name="pitch" min="-50" max="50" step="5" value="0">
<label for="volume">Glasnost<span aria-hidden="true">: <output id="volume-value" for="volume">100</output></span></label>
<input type="range" id="volume" name="volume" min="1" max="100" step="1" value="100">
<button type="submit" id="speak">Izgovori</button>
</form>
<p id="status" role="status" aria-live="polite"></p>
<audio id="player" controls aria-label="Izgovorjeno besedilo"></audio>
<p><a id="download" href="#" download="govor.wav" hidden>Prenesi posnetek</a></p>
</main>
<script>
const form = document.getElementById('form');
const status = document.getElementById('status');
const player = document.getElementById('player');
const download = document.getElementById('download');
for (const name of ['rate', 'pitch', 'volume']) {
  const slider = document.getElementById(name);
  const shown = document.getElementById(name + '-value');
  slider.addEventListener('input', () => { shown.value = slider.value; });
}
form.addEventListener('submit', async (event) => {
  event.preventDefault();
  const query = new URLSearchParams({format: 'wav'});
  for (const name of ['text', 'rate', 'pitch', 'volume'])
    query.set(name, document.getElementById(name).value);
  status.textContent = 'Govor se pripravlja …';
  try {
    const reply = await fetch('/api/tts?' + query);
    if (!reply.ok) {
      const problem = await reply.json().catch(() => null);
      status.textContent = 'Napaka: ' + (problem ? problem.error.message : reply.status);
      return;
    }
    // The streamed header leaves its sizes open; the whole file is here now,
    // so they are filled in for the player's length and the download.
    const bytes = new Uint8Array(await reply.arrayBuffer());
    const header = new DataView(bytes.buffer);
    header.setUint32(4, bytes.length - 8, true);
    header.setUint32(40, bytes.length - 44, true);
    const audio = new Blob([bytes], {type: 'audio/wav'});
    if (player.src) URL.revokeObjectURL(player.src);
    player.src = URL.createObjectURL(audio);
    download.href = player.src;
    download.hidden = false;
    status.textContent = 'Govor je pripravljen.';
    player.play().catch(() => {});
  } catch (error) {
    status.textContent = 'Strežnik ni dosegljiv.';
  }
});
</script>
</body>
</html>
)html";
    return kPage;
}

}  // namespace sint

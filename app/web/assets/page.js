// The caption page: every change asks the server for the picture (at most one request in
// flight, the newest input winning), shows it and the window's notices, and saves exactly what
// is shown. What the user typed is never changed here.
"use strict";

const DEBOUNCE_MS = 120;

const fields = {
  title: document.getElementById("title"),
  second: document.getElementById("second"),
  description: document.getElementById("description"),
  textColour: document.getElementById("text-colour"),
  outlineColour: document.getElementById("outline-colour"),
};
const preview = document.getElementById("preview");
const notices = document.getElementById("notices");
const save = document.getElementById("save");

let timer = 0;
let sequence = 0;   // the number of the newest request sent
let shown = 0;      // the number of the request whose answer is shown
let controller = null;
let picture = null; // the PNG shown, base64
let pictureTitle = ""; // the title it was drawn with

function inputs() {
  return {
    title: fields.title.value,
    second: fields.second.value,
    description: fields.description.value,
    textColour: fields.textColour.value.toUpperCase(),
    outlineColour: fields.outlineColour.value.toUpperCase(),
  };
}

function showNotices(texts, isError) {
  notices.replaceChildren(...texts.map((text) => {
    const line = document.createElement("p");
    line.textContent = text;
    if (isError) line.className = "error";
    return line;
  }));
}

async function refresh() {
  const number = ++sequence;
  if (controller) controller.abort();
  controller = new AbortController();
  const sent = inputs();
  let answer;
  try {
    const response = await fetch("/api/caption", {
      method: "POST",
      headers: {"Content-Type": "application/json", "Accept": "application/json"},
      body: JSON.stringify(sent),
      signal: controller.signal,
    });
    answer = await response.json();
    if (!response.ok) {
      // The picture still shown is not of this input: it is not saved as if it were.
      if (number > shown) {
        showNotices([answer.error || "エラー " + response.status], true);
        save.disabled = true;
      }
      return;
    }
  } catch (error) {
    if (error.name !== "AbortError" && number === sequence) {
      showNotices(["サーバーに接続できません"], true);
      save.disabled = true;
    }
    return;
  }
  if (number < shown) return; // a late answer to earlier input
  shown = number;
  picture = answer.png;
  pictureTitle = sent.title;
  preview.src = "data:image/png;base64," + answer.png;
  showNotices(answer.notices, false);
  save.disabled = false;
}

function schedule() {
  clearTimeout(timer);
  timer = setTimeout(refresh, DEBOUNCE_MS);
}

// The title as a file name: characters no file system takes are dropped.
function fileName() {
  const base = pictureTitle.replace(/[\\/:*?"<>|\u0000-\u001f\u007f]/g, "").trim();
  return (base || "caption") + ".png";
}

function savePicture() {
  if (!picture) return;
  const bytes = Uint8Array.from(atob(picture), (c) => c.charCodeAt(0));
  const url = URL.createObjectURL(new Blob([bytes], {type: "image/png"}));
  const link = document.createElement("a");
  link.href = url;
  link.download = fileName();
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

for (const field of Object.values(fields)) field.addEventListener("input", schedule);
save.addEventListener("click", savePicture);
refresh();

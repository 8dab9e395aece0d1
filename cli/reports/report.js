"use strict";
(function () {
  const root = document.documentElement;
  window.addEventListener("error", function (e) { root.dataset.errors = (root.dataset.errors || "") + e.message + "\n"; });
  const body = document.querySelector("#@programsTable@ tbody");
  const rows = Array.from(body.rows);
  const sections = Array.from(document.querySelectorAll("details.@programSection@"));
  const boxes = Array.from(document.querySelectorAll("#@filtersParagraph@ input"));
  function applyFilter() {
    const shown = new Set(boxes.filter(function (b) { return b.checked; }).map(function (b) { return b.value; }));
    rows.forEach(function (r) { r.hidden = !shown.has(r.dataset.verdict); });
    sections.forEach(function (s) { s.hidden = !shown.has(s.dataset.verdict); });
  }
  boxes.forEach(function (b) { b.addEventListener("change", applyFilter); });
  let sortKey = "name", ascending = true;
  function sortBy(key) {
    ascending = key === sortKey ? !ascending : key === "name";
    sortKey = key;
    const sorted = rows.slice().sort(function (a, b) {
      const x = a.dataset[key], y = b.dataset[key];
      const c = key === "name" ? (x < y ? -1 : x > y ? 1 : 0) : Number(x) - Number(y);
      return ascending ? c : -c;
    });
    const fragment = document.createDocumentFragment();
    sorted.forEach(function (r) { fragment.appendChild(r); });
    body.appendChild(fragment);
    root.dataset.sorted = key + (ascending ? "" : " descending");
  }
  const headers = Array.from(document.querySelectorAll("th.@sortableHeader@"));
  headers.forEach(function (th) {
    th.addEventListener("click", function () { sortBy(th.dataset.sort); });
  });
  // The id the fragment names; none when it is not percent-encoded UTF-8.
  function fragmentId() {
    try {
      return decodeURIComponent(location.hash.slice(1));
    } catch (e) {
      return "";
    }
  }
  function reveal() {
    const id = fragmentId();
    const target = id && document.getElementById(id);
    if (!target) return;
    for (let d = target.closest("details"); d; d = d.parentElement && d.parentElement.closest("details")) d.open = true;
    document.querySelectorAll(".target").forEach(function (t) { t.classList.remove("target"); });
    target.classList.add("target");
    target.scrollIntoView();
  }
  window.addEventListener("hashchange", reveal);
  // A verdict or sort key the page does not know (a mistyped or mangled
  // link) is ignored; so is a verdict list that names none it knows.
  const query = new URLSearchParams(location.search);
  const verdicts = boxes.map(function (b) { return b.value; });
  const wanted = (query.get("verdict") || "").split(",").filter(function (v) { return verdicts.includes(v); });
  if (wanted.length) boxes.forEach(function (b) { b.checked = wanted.includes(b.value); });
  const sortKeys = headers.map(function (th) { return th.dataset.sort; });
  if (sortKeys.includes(query.get("sort"))) sortBy(query.get("sort"));
  applyFilter();
  reveal();
  root.dataset.ready = "yes";
})();

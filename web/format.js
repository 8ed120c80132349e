// Shared helpers of the dashboard pages: Turkish number formatting, Turkish-aware case folding,
// DOM building through text APIs only (no value from the data is ever parsed as HTML).
"use strict";
var Tarvo = window.Tarvo = window.Tarvo || {};

Tarvo.BANDS = ["0-325", "325-500", "500-825", "825-1000", "YI"];
Tarvo.FLAGS = [
  ["_hizli_yukselen", "Hızlı yükselen", "fastest_rising"],
  ["_rejim_degisimi", "Rejim değişimi", "regime_change"],
  ["_potansiyel_yi", "Potansiyel YI", "persistent_high"],
  ["_erken_sinyal", "Erken sinyal", "low_but_rising"],
  ["_yakalanan", "Yakalanan YI", "caught_yi"],
  ["_kacirilan", "Kaçırılan YI", "missed_yi"],
];
// Turkish texts of the grid's own controls (pagination, header filters).
Tarvo.GRID_LOCALE = {
  locale: "tr",
  langs: { tr: {
    pagination: { first: "İlk", first_title: "İlk sayfa", last: "Son", last_title: "Son sayfa",
      prev: "Önceki", prev_title: "Önceki sayfa", next: "Sonraki", next_title: "Sonraki sayfa",
      all: "Tümü", page_size: "Sayfa boyu" },
    headerFilters: { default: "süz…" },
    data: { loading: "Yükleniyor", error: "Hata" },
  } },
};
// Grid options with the Turkish texts added.
Tarvo.gridOptions = function (opts) {
  opts.locale = Tarvo.GRID_LOCALE.locale;
  opts.langs = Tarvo.GRID_LOCALE.langs;
  return opts;
};
Tarvo.NO_BAND_TIP = "Bant yok: bu dönemde firmanın sayısal skoru ya da YI işareti bulunmuyor";

(function () {
  var whole = new Intl.NumberFormat("tr-TR", { maximumFractionDigits: 0 });
  var dec = new Intl.NumberFormat("tr-TR", { maximumFractionDigits: 4 });
  var pct = new Intl.NumberFormat("tr-TR", { style: "percent", minimumFractionDigits: 1, maximumFractionDigits: 1 });

  // "1.234.567"; fractional values keep up to four decimals with a decimal comma.
  Tarvo.fmtNum = function (v) {
    if (v === null || v === undefined || v === "") return "";
    if (typeof v !== "number") return String(v);
    return Number.isInteger(v) ? whole.format(v) : dec.format(v);
  };
  Tarvo.fmtPct = function (v) {
    return typeof v === "number" ? pct.format(v) : "";
  };
  // A score cell: the YI marker (text "YI" or the number -1) shows "YI".
  Tarvo.fmtScore = function (v) {
    if (v === "YI" || v === -1) return "YI";
    return Tarvo.fmtNum(v);
  };

  // Lower case with the Turkish dotted and dotless i kept apart: "İ" -> "i", "I" -> "ı".
  Tarvo.foldTr = function (s) {
    if (s === null || s === undefined) return "";
    return String(s).replace(/İ/g, "i").replace(/I/g, "ı").toLowerCase();
  };

  // An element with attributes and text content.
  Tarvo.el = function (tag, attrs, text) {
    var e = document.createElement(tag);
    if (attrs) for (var k in attrs) if (attrs[k] !== undefined && attrs[k] !== null) e.setAttribute(k, attrs[k]);
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  };
  // A short note shown in place of a part that has no data.
  Tarvo.note = function (text) {
    return Tarvo.el("p", { class: "empty-note" }, text);
  };
  // A band badge: the label, or "—" with a tooltip saying why there is none.
  Tarvo.bandNode = function (code) {
    if (code === null || code === undefined || code < 0) {
      return Tarvo.el("span", { class: "band band-none", title: Tarvo.NO_BAND_TIP }, "—");
    }
    return Tarvo.el("span", { class: "band band-" + code }, Tarvo.BANDS[code]);
  };
  // Text cell formatter for the grid: the value goes in as a text node.
  Tarvo.textCell = function (fmt) {
    return function (cell) {
      var v = cell.getValue();
      return document.createTextNode(fmt ? fmt(v) : (v === null || v === undefined ? "" : String(v)));
    };
  };
  Tarvo.select = function (label, options, onChange) {
    var wrap = Tarvo.el("label", { class: "ctl" }, label + " ");
    var sel = Tarvo.el("select", { "aria-label": label });
    options.forEach(function (o) {
      var opt = Tarvo.el("option", { value: o[0] }, o[1]);
      sel.appendChild(opt);
    });
    sel.addEventListener("change", function () { onChange(sel.value); });
    wrap.appendChild(sel);
    return { wrap: wrap, sel: sel };
  };
})();

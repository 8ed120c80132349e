// The admin tabs: "Tanı bulguları" (the full diagnostic index), "Geri test" (back-test summary per
// model), "Geri test firmaları" (TP / FP / FN lists with firm names) and "ML tahminleri" (the ML
// list and the model summary). A part that is absent or null shows a short note.
"use strict";
(function () {
  var Tarvo = window.Tarvo;
  var MODELS = ["eus", "yis", "ml"];

  function grid(container, rows, columns, extra) {
    var el = Tarvo.el("div");
    container.appendChild(el);
    var opts = { layout: "fitColumns", data: rows, columns: columns, maxHeight: 420, pagination: rows.length > 200,
      paginationSize: 100, placeholder: "Eşleşen kayıt yok" };
    for (var k in extra || {}) opts[k] = extra[k];
    return new Tabulator(el, Tarvo.gridOptions(opts));
  }
  function col(title, field, fmt, more) {
    var c = { title: title, field: field, formatter: Tarvo.textCell(fmt) };
    for (var k in more || {}) c[k] = more[k];
    return c;
  }
  function fmtCell(v) {
    if (v === null || v === undefined) return "";
    return typeof v === "number" ? Tarvo.fmtNum(v) : String(v);
  }

  Tarvo.DiagTab = function (admin, container) {
    var full = admin.diag_index_full;
    if (!full || !Object.keys(full).length) { container.appendChild(Tarvo.note("Tanı bulgusu yok.")); return; }
    var rows = [];
    Object.keys(full).forEach(function (m) {
      Object.keys(full[m]).forEach(function (d) {
        (full[m][d].bulgular || []).forEach(function (b) {
          rows.push({ muta: m, donem: d, katman: b.katman, kriter: b.kriter, deger: b.deger, onceki: b.onceki,
            grup: b.grup, aciklama: b.aciklama });
        });
      });
    });
    var hf = { headerFilter: "input" };
    container.appendChild(Tarvo.el("p", { class: "count", id: "diag-count" }, Tarvo.fmtNum(rows.length) + " bulgu"));
    grid(container, rows, [
      col("Muta", "muta", null, hf), col("Dönem", "donem", null, hf), col("Katman", "katman", null, hf),
      col("Kriter", "kriter", null, hf), col("Değer", "deger", Tarvo.fmtNum, { hozAlign: "right" }),
      col("Önceki", "onceki", Tarvo.fmtNum, { hozAlign: "right" }), col("Grup", "grup", null, hf),
      col("Açıklama", "aciklama", null, { headerFilter: "input", widthGrow: 3 }),
    ], { pagination: true, paginationSize: 100, maxHeight: "70vh" });
  };

  Tarvo.BacktestTab = function (admin, container) {
    var sum = admin.backtest_summary;
    var any = false;
    MODELS.forEach(function (m) {
      var e = sum && sum[m];
      if (!e) return;
      any = true;
      var sec = Tarvo.el("section", { class: "model", "data-model": m });
      sec.appendChild(Tarvo.el("h3", null, "Model: " + m.toUpperCase()));
      var detail = e.donem_metrikleri || e.fold_detay || [];
      var keys = detail.length ? Object.keys(detail[0]) : [];
      // Column names come from the warehouse: their titles go in as text.
      grid(sec, detail, keys.map(function (k) {
        return col(k, k, fmtCell, { titleFormatter: function () { return document.createTextNode(k); } });
      }), { pagination: false });
      var totals = Tarvo.el("table", { class: "mini totals" });
      Object.keys(e).forEach(function (k) {
        if (k === "donem_metrikleri" || k === "fold_detay") return;
        var tr = Tarvo.el("tr");
        tr.appendChild(Tarvo.el("th", null, k));
        tr.appendChild(Tarvo.el("td", { class: "num" }, e[k] === null ? "—" : fmtCell(e[k])));
        totals.appendChild(tr);
      });
      sec.appendChild(totals);
      var metrics = ["precision_val", "recall_val", "f1", "auc"].filter(function (k) { return keys.indexOf(k) >= 0; });
      if (metrics.length) {
        var chartEl = Tarvo.el("div", { class: "chart small", "data-chart": "backtest-" + m });
        sec.appendChild(chartEl);
        container.appendChild(sec);
        var chart = echarts.init(chartEl);
        Tarvo.charts["backtest_" + m] = chart;
        chart.setOption({
          animation: false,
          tooltip: { trigger: "axis", renderMode: "richText" },
          legend: { data: metrics, top: 0 },
          grid: { left: 50, right: 20, top: 40, bottom: 30 },
          xAxis: { type: "category", data: detail.map(function (r) { return String(r[keys[0]]); }) },
          yAxis: { type: "value", min: 0, max: 1 },
          series: metrics.map(function (k) {
            return { name: k, type: "line", data: detail.map(function (r) { return typeof r[k] === "number" ? r[k] : null; }) };
          }),
        });
      } else {
        container.appendChild(sec);
      }
    });
    if (!any) container.appendChild(Tarvo.note("Geri test verisi yok."));
  };

  Tarvo.BacktestFirmTab = function (admin, container) {
    var lists = admin.backtest_firma;
    var rows = [];
    MODELS.forEach(function (m) {
      var e = lists && lists[m];
      if (!e) return;
      ["tp", "fp", "fn"].forEach(function (k) {
        (e[k] || []).forEach(function (p) { rows.push({ model: m.toUpperCase(), kategori: k.toUpperCase(), muta: p[0], unvan: p[1] }); });
      });
    });
    if (!rows.length) { container.appendChild(Tarvo.note("Geri test firma listesi yok.")); return; }
    var hf = { headerFilter: "input" };
    grid(container, rows, [col("Model", "model", null, hf), col("Kategori", "kategori", null, hf),
      col("Muta", "muta", null, hf), col("Unvan", "unvan", null, { headerFilter: "input", widthGrow: 3 })],
      { pagination: true, paginationSize: 100 });
  };

  // Turkish names for the keys of the model summary; any other key is shown as it is.
  var LABELS = { horizon: "Ufuk (dönem)", training_periods: "Eğitim dönemleri", features: "Özellikler",
    auc: "Geri test AUC (son dönem)", threshold: "Eşik", name: "Özellik", label: "Açıklama", weight: "Ağırlık" };
  function label(k) { return Object.prototype.hasOwnProperty.call(LABELS, k) ? LABELS[k] : k; }

  // Any document as nested lists: scalars as "key: value", mappings of scalars as a two-column table.
  function describe(doc, into) {
    Object.keys(doc).forEach(function (k) {
      var v = doc[k];
      var item = Tarvo.el("div", { class: "kv" });
      item.appendChild(Tarvo.el("strong", null, label(k) + ": "));
      if (v === null || typeof v !== "object") {
        item.appendChild(document.createTextNode(fmtCell(v)));
      } else if (Array.isArray(v) && v.every(function (x) { return x === null || typeof x !== "object"; })) {
        item.appendChild(document.createTextNode(v.map(fmtCell).join(", ")));
      } else if (Array.isArray(v)) {
        var t = Tarvo.el("table", { class: "mini" });
        var keys = Object.keys(v[0] || {});
        var hr = Tarvo.el("tr");
        keys.forEach(function (h) { hr.appendChild(Tarvo.el("th", null, label(h))); });
        t.appendChild(hr);
        v.forEach(function (r) {
          var tr = Tarvo.el("tr");
          keys.forEach(function (h) { tr.appendChild(Tarvo.el("td", null, r && typeof r[h] !== "object" ? fmtCell(r[h]) : JSON.stringify(r && r[h]))); });
          t.appendChild(tr);
        });
        item.appendChild(t);
      } else {
        var sub = Tarvo.el("div", { class: "nested" });
        describe(v, sub);
        item.appendChild(sub);
      }
      into.appendChild(item);
    });
  }

  Tarvo.MlTab = function (admin, container) {
    var model = admin.ml_model;
    var box = Tarvo.el("section", { class: "ml-model", id: "ml-model" });
    box.appendChild(Tarvo.el("h3", null, "Model özeti"));
    if (model && typeof model === "object") describe(model, box); else box.appendChild(Tarvo.note("ML model özeti yok."));
    container.appendChild(box);
    var preds = admin.ml_predictions;
    container.appendChild(Tarvo.el("h3", null, "YI olasılığı yüksek firmalar"));
    if (!preds || !preds.length) { container.appendChild(Tarvo.note("ML tahmini yok.")); return; }
    container.appendChild(Tarvo.el("p", { class: "count", id: "ml-count" }, Tarvo.fmtNum(preds.length) + " firma"));
    grid(container, preds, [col("Muta", "muta"), col("Unvan", "unvan", null, { widthGrow: 2 }), col("Segment", "segment"),
      col("Son risk", "son_risk", Tarvo.fmtNum, { hozAlign: "right" }), col("YI olasılığı", "yi_prob", Tarvo.fmtPct, { hozAlign: "right" }),
      col("Neden", "neden", null, { widthGrow: 3 })], { pagination: true, paginationSize: 100 });
  };
})();

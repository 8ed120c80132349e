// The firm detail: score and risk over every period as a chart, the band per period, the firm's
// new diagnostic finding groups per period, its flags, reason text and ML reasons.
"use strict";
(function () {
  var Tarvo = window.Tarvo;

  Tarvo.showDetail = function (data, panel, i) {
    var rows = data.rows;
    panel.textContent = "";
    panel.hidden = false;
    var head = Tarvo.el("div", { class: "detail-head" });
    head.appendChild(Tarvo.el("h2", { id: "detail-title" }, rows.muta[i] + " — " + (rows.unvan[i] || "")));
    var close = Tarvo.el("button", { type: "button", class: "close", "aria-label": "Kapat" }, "×");
    close.addEventListener("click", function () { panel.hidden = true; });
    head.appendChild(close);
    panel.appendChild(head);
    panel.appendChild(Tarvo.el("p", { class: "detail-sub" },
      [rows.segment[i], rows.sube[i], rows.bolge[i]].filter(function (x) { return x; }).join(" · ")));

    var chartEl = Tarvo.el("div", { class: "chart detail-chart", id: "detail-chart" });
    panel.appendChild(chartEl);
    var periods = data.periods;
    var scores = periods.map(function (p, k) {
      var v = data.skor[k][i];
      return v === "YI" || v === -1 ? 1000 : (typeof v === "number" ? v : null);
    });
    var risks = periods.map(function (p, k) { var v = data.risk[k][i]; return typeof v === "number" ? v : null; });
    var chart = echarts.init(chartEl);
    chart.setOption({
      animation: false,
      tooltip: { trigger: "axis", renderMode: "richText" },
      legend: { data: ["Skor", "Risk"], top: 0 },
      grid: { left: 70, right: 90, top: 40, bottom: 30 },
      xAxis: { type: "category", data: periods.map(String) },
      yAxis: [
        { type: "value", name: "Skor", min: 0, max: 1000, axisLabel: { formatter: Tarvo.fmtNum } },
        { type: "value", name: "Risk (TL)", axisLabel: { formatter: Tarvo.fmtNum } },
      ],
      series: [
        { name: "Skor", type: "line", data: scores, connectNulls: false, symbolSize: 6 },
        { name: "Risk", type: "bar", yAxisIndex: 1, data: risks, itemStyle: { opacity: 0.45 } },
      ],
    });
    Tarvo.charts.detail = chart;

    var diag = rows.diag ? rows.diag[i] : null;
    var t = Tarvo.el("table", { class: "mini", id: "detail-periods" });
    var hr = Tarvo.el("tr");
    ["Dönem", "Skor", "Bant", "Risk", "Yeni tanı grupları"].forEach(function (h) { hr.appendChild(Tarvo.el("th", null, h)); });
    t.appendChild(hr);
    periods.forEach(function (p, k) {
      var tr = Tarvo.el("tr");
      tr.appendChild(Tarvo.el("td", null, p));
      tr.appendChild(Tarvo.el("td", { class: "num" }, Tarvo.fmtScore(data.skor[k][i])));
      var bt = Tarvo.el("td");
      bt.appendChild(Tarvo.bandNode(data.bandAt(k, i)));
      tr.appendChild(bt);
      tr.appendChild(Tarvo.el("td", { class: "num" }, Tarvo.fmtNum(data.risk[k][i])));
      var groups = diag && diag[String(p)];
      tr.appendChild(Tarvo.el("td", null, groups && groups.length ? groups.join(", ") : ""));
      t.appendChild(tr);
    });
    panel.appendChild(t);

    var flags = Tarvo.FLAGS.filter(function (f) { return rows[f[0]] && rows[f[0]][i] === 1; }).map(function (f) { return f[1]; });
    var dl = Tarvo.el("dl", { class: "facts" });
    function fact(k, v) { dl.appendChild(Tarvo.el("dt", null, k)); dl.appendChild(Tarvo.el("dd", null, v)); }
    fact("İşaretler", flags.length ? flags.join(", ") : "—");
    fact("Neden", rows.neden[i] || "—");
    if (data.hasMl) {
      fact("ML olasılığı", typeof rows.ml_prob[i] === "number" ? Tarvo.fmtPct(rows.ml_prob[i]) : "—");
      fact("ML gerekçesi", (rows.ml_neden && rows.ml_neden[i]) || "—");
    }
    panel.appendChild(dl);
  };
})();

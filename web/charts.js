// The "Akış matrisi" (band-to-band flows as a heatmap) and "Bant dağılımı" (bands per period as
// stacked bars) tabs. Tooltips render as rich text, so no label reaches the page as HTML.
"use strict";
(function () {
  var Tarvo = window.Tarvo;
  var BAND_COLORS = ["#5b9a68", "#e6c229", "#f17105", "#d11149", "#6a0f49"];

  function segmentsOf(doc) {
    return Object.keys(doc || {}).filter(function (s) { return Array.isArray(doc[s]); });
  }
  // The marts count every firm of the run; a page holding fewer firms says so beside its charts.
  function scopeNote(data, container) {
    if (data.page.n_shown < data.page.n_rows) {
      container.appendChild(Tarvo.note("Bu grafik, sayfada gösterilen firmalarla sınırlı değildir: skorbordun tüm " +
        Tarvo.fmtNum(data.page.n_rows) + " firması üzerinden hesaplanmıştır."));
    }
  }
  function toggle(container, onChange) {
    var s = Tarvo.select("Değer", [["count", "Firma sayısı"], ["risk_tl", "Risk (TL)"]], onChange);
    s.sel.setAttribute("data-ctl", "measure");
    container.appendChild(s.wrap);
    return s.sel;
  }

  Tarvo.FlowTab = function (data, container) {
    var fm = data.flow_matrix;
    var segs = segmentsOf(fm);
    var pairs = segs.length ? fm[segs[0]].map(function (e, k) { return [String(k), e.from + " → " + e.to]; }) : [];
    if (!pairs.length) { container.appendChild(Tarvo.note("Akış matrisi için en az iki dönem gerekir; veri yok.")); return; }
    var st = { seg: segs[0], pair: String(pairs.length - 1), measure: "count" };
    var bar = Tarvo.el("div", { class: "filters" });
    var segSel = Tarvo.select("Segment", segs.map(function (s) { return [s, s]; }), function (v) { st.seg = v; draw(); });
    segSel.sel.setAttribute("data-ctl", "segment");
    var pairSel = Tarvo.select("Dönem çifti", pairs, function (v) { st.pair = v; draw(); });
    pairSel.sel.setAttribute("data-ctl", "pair");
    pairSel.sel.value = st.pair;
    bar.appendChild(segSel.wrap);
    bar.appendChild(pairSel.wrap);
    toggle(bar, function (v) { st.measure = v; draw(); });
    var total = Tarvo.el("span", { class: "count", id: "flow-total" });
    bar.appendChild(total);
    container.appendChild(bar);
    scopeNote(data, container);
    var chartEl = Tarvo.el("div", { class: "chart", id: "flow-chart" });
    container.appendChild(chartEl);
    var chart = null;

    function draw() {
      if (!chart) chart = Tarvo.charts.flow = echarts.init(chartEl);
      var entry = fm[st.seg][+st.pair] || { flows: [] };
      var cells = [], sum = 0, max = 0;
      (entry.flows || []).forEach(function (f) {
        var x = Tarvo.BANDS.indexOf(f.to_band), y = Tarvo.BANDS.indexOf(f.from_band), v = f[st.measure] || 0;
        cells.push([x, y, v]);
        sum += v;
        if (v > max) max = v;
      });
      total.textContent = "Toplam: " + Tarvo.fmtNum(sum) + (st.measure === "count" ? " firma" : " TL");
      total.setAttribute("data-total", String(sum));
      chart.setOption({
        animation: false,
        tooltip: { renderMode: "richText", formatter: function (p) {
          return Tarvo.BANDS[p.value[1]] + " → " + Tarvo.BANDS[p.value[0]] + ": " + Tarvo.fmtNum(p.value[2]);
        } },
        grid: { left: 110, right: 120, top: 20, bottom: 50 },
        xAxis: { type: "category", data: Tarvo.BANDS, name: "Sonraki bant (" + entry.to + ")", nameLocation: "middle", nameGap: 30 },
        yAxis: { type: "category", data: Tarvo.BANDS, name: "Önceki bant (" + entry.from + ")", nameLocation: "middle", nameGap: 80 },
        visualMap: { min: 0, max: max || 1, calculable: true, orient: "vertical", right: 10, top: "middle",
          inRange: { color: ["#eef4fb", "#1f5fa6"] }, formatter: Tarvo.fmtNum },
        series: [{ type: "heatmap", data: cells, label: { show: true, formatter: function (p) { return Tarvo.fmtNum(p.value[2]); } } }],
      }, true);
    }
    this.draw = draw;
  };

  Tarvo.BandTab = function (data, container) {
    var bs = data.band_snapshot;
    var segs = segmentsOf(bs).filter(function (s) { return bs[s].length; });
    if (!segs.length) { container.appendChild(Tarvo.note("Bant dağılımı verisi yok.")); return; }
    var st = { seg: segs[0], measure: "count" };
    var bar = Tarvo.el("div", { class: "filters" });
    var segSel = Tarvo.select("Segment", segs.map(function (s) { return [s, s]; }), function (v) { st.seg = v; draw(); });
    segSel.sel.setAttribute("data-ctl", "segment");
    bar.appendChild(segSel.wrap);
    toggle(bar, function (v) { st.measure = v; draw(); });
    container.appendChild(bar);
    scopeNote(data, container);
    var chartEl = Tarvo.el("div", { class: "chart", id: "band-chart" });
    container.appendChild(chartEl);
    var chart = null;

    function draw() {
      if (!chart) chart = Tarvo.charts.bands = echarts.init(chartEl);
      var list = bs[st.seg];
      chart.setOption({
        animation: false,
        tooltip: { trigger: "axis", renderMode: "richText" },
        legend: { data: Tarvo.BANDS, top: 0 },
        grid: { left: 110, right: 30, top: 40, bottom: 30 },
        xAxis: { type: "category", data: list.map(function (e) { return String(e.donem); }) },
        yAxis: { type: "value", axisLabel: { formatter: Tarvo.fmtNum } },
        series: Tarvo.BANDS.map(function (b, k) {
          return { name: b, type: "bar", stack: "bant", itemStyle: { color: BAND_COLORS[k] },
            data: list.map(function (e) { var x = e.bands && e.bands[b]; return x ? x[st.measure] : 0; }) };
        }),
      }, true);
    }
    this.draw = draw;
  };
})();

// The "Trend listeleri" tab: the six watch lists, drawn from the row flags and reason texts.
"use strict";
(function () {
  var Tarvo = window.Tarvo;

  Tarvo.TrendTab = function (data, container, onSelect) {
    var rows = data.rows;
    Tarvo.FLAGS.forEach(function (f) {
      var members = [];
      var c = rows[f[0]] || [];
      for (var i = 0; i < data.n; i++) if (c[i] === 1) members.push(i);
      var sec = Tarvo.el("section", { class: "trend", "data-list": f[2] });
      sec.appendChild(Tarvo.el("h3", null, f[1] + " (" + Tarvo.fmtNum(members.length) + ")"));
      if (!members.length) {
        sec.appendChild(Tarvo.note("Bu listede firma yok."));
      } else {
        var grid = Tarvo.el("div");
        sec.appendChild(grid);
        var t = new Tabulator(grid, Tarvo.gridOptions({
          layout: "fitColumns",
          maxHeight: 320,
          data: members.map(function (i) {
            return { i: i, muta: rows.muta[i], unvan: rows.unvan[i], son_skor: rows.son_skor[i], son_risk: rows.son_risk[i], neden: rows.neden[i] };
          }),
          columns: [
            { title: "Muta", field: "muta", formatter: Tarvo.textCell(), width: 110 },
            { title: "Unvan", field: "unvan", formatter: Tarvo.textCell(), widthGrow: 2 },
            { title: "Son skor", field: "son_skor", formatter: Tarvo.textCell(Tarvo.fmtScore), hozAlign: "right", width: 100 },
            { title: "Son risk", field: "son_risk", formatter: Tarvo.textCell(Tarvo.fmtNum), hozAlign: "right", width: 140 },
            { title: "Neden", field: "neden", formatter: Tarvo.textCell(), widthGrow: 3 },
          ],
        }));
        t.on("rowClick", function (e, row) { onSelect(row.getData().i); });
      }
      container.appendChild(sec);
    });
  };
})();

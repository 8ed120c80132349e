// The page's data: one columnar JSON document in <script type="application/json" id="tarvo-data">.
//   page     mode ("full", "yonetici", "admin"), title, counts and notes about the rows held
//   meta     "donemler" (periods, oldest first) and "son_donem"
//   rows     one array per field, one element per firm, highest latest risk first
//   skor, risk  one array per period (same order as "donemler"), one element per firm
//   bant     one text per period, one character per firm: "0".."4" a band of Tarvo.BANDS, "-" none
//   flow_matrix, band_snapshot  the marts as built; admin  the admin data, or null
"use strict";
(function () {
  var Tarvo = window.Tarvo;

  Tarvo.loadData = function () {
    var d = JSON.parse(document.getElementById("tarvo-data").textContent);
    var rows = d.rows || {};
    d.n = (rows.muta || []).length;
    d.periods = (d.meta && d.meta.donemler) || [];
    // Band code of firm i in period p (index into "donemler"), or -1.
    d.bandAt = function (p, i) {
      var s = d.bant[p];
      if (!s) return -1;
      var c = s.charCodeAt(i) - 48;
      return c >= 0 && c <= 4 ? c : -1;
    };
    d.lastBand = function (i) {
      return d.periods.length ? d.bandAt(d.periods.length - 1, i) : -1;
    };
    d.hasMl = !!rows.ml_prob;
    return d;
  };
})();

-- Duplicates: the highest score, the highest monitoring-list risk, the sum of the credit lines.
INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 300.5, NULL), ('1', '2401', 720.25, NULL);
INSERT INTO brz_kik_izleme (muta, donem, kik_risk) VALUES ('1', '2401', 100), ('1', '2401', 400);
INSERT INTO brz_kredi_risk VALUES ('1', '2401', 50), ('1', '2401', 25);
-- A firm in a score, monitoring-list or credit extract has its row even when every value there is null.
INSERT INTO brz_eus_tahmin VALUES ('2', '2401', NULL, NULL);
INSERT INTO brz_kik_izleme (muta, donem, kik_risk) VALUES ('3', '2401', NULL);
INSERT INTO brz_kredi_risk VALUES ('4', '2401', NULL);
-- A bureau row adds a row only under follow-up (an amount above 0).
INSERT INTO brz_memzuc VALUES ('5', '2401', 0, 10), ('6', '2401', NULL, NULL), ('7', '2401', 0.5, NULL);

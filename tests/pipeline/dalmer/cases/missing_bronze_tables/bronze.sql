-- Only the eus scores were delivered: every other bronze table is missing.
DROP TABLE brz_kik_izleme; DROP TABLE brz_kredi_risk; DROP TABLE brz_yis_tahmin; DROP TABLE brz_eus_hedef;
DROP TABLE brz_eus_kapsam; DROP TABLE brz_statik; DROP TABLE brz_train_features; DROP TABLE brz_rkd_kriter;
DROP TABLE brz_memzuc;
INSERT INTO brz_eus_tahmin VALUES ('7', '2405', 512.5, 0.4);

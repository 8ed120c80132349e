INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 612.34, 0.2), ('1', '2402', 700.0, 0.3),
                                  ('2', '2401', 450.5, 0.1), ('3', '2402', NULL, NULL);
INSERT INTO brz_memzuc VALUES ('1', '2401', 0, 0), ('1', '2402', 5000, 0),
                              ('4', '2402', 100, 0), ('5', '2402', 0, 250);
INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag)
    VALUES ('2', '2401', 300, 0), ('6', '2402', 1000, 0);
INSERT INTO brz_kredi_risk VALUES ('2', '2401', 700), ('2', '2401', 50), ('7', '2402', 2000);

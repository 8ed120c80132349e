INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag) VALUES
    ('1', '2401', 100, 0), ('1', '2402', 150, 0), ('1', '2404', 300, 0),
    ('3', '2403', 10, 0), ('3', '2404', 5, 0);
INSERT INTO brz_kredi_risk VALUES ('1', '2402', 50), ('2', '2401', 500), ('2', '2403', 400);
INSERT INTO brz_eus_tahmin VALUES ('2', '2402', 300, 0.1);

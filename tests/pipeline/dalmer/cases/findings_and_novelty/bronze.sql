INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 100, 0), ('1', '2402', 100, 0),
                                  ('1', '2403', 100, 0), ('1', '2404', 100, 0);
-- a target listed twice in one period counts once
INSERT INTO brz_eus_hedef VALUES ('1', '2401'), ('1', '2402'), ('1', '2403'), ('1', '2404'),
                                 ('2', '2402'), ('2', '2402'), ('4', '2403');
INSERT INTO brz_kik_izleme (muta, donem, ciss_flag, gckm_gun_say) VALUES
    ('1', '2401', 1, 0), ('1', '2402', 1, 45), ('1', '2403', 0, 0), ('1', '2404', 1, 0),
    ('3', '2402', 1, 90), ('4', '2402', 1, 0), ('4', '2403', 1, 0);
INSERT INTO brz_eus_kapsam VALUES ('1', '2401'), ('2', '2401'), ('1', '2402'), ('2', '2404');
INSERT INTO brz_rkd_kriter VALUES ('2', '2401', 40, 0), ('2', '2402', 12, 1);
INSERT INTO brz_memzuc VALUES ('1', '2403', 1234567, 0);

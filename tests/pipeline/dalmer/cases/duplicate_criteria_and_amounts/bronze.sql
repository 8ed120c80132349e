INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 100, 0);
INSERT INTO brz_eus_hedef VALUES ('1', '2401'), ('2', '2401'), ('3', '2401'), ('4', '2401');
-- Duplicate rows of a firm and period: the longest delay, the highest flag ...
INSERT INTO brz_kik_izleme (muta, donem, gckm_gun_say, ciss_flag) VALUES
    ('1', '2401', 10, 0), ('1', '2401', 45, 1), ('1', '2401', NULL, 0);
-- ... the shortest remaining term ...
INSERT INTO brz_rkd_kriter VALUES ('1', '2401', 20, 0), ('1', '2401', 12, 1);
-- ... the highest amount, shown rounded to whole lira with halves away from zero.
INSERT INTO brz_memzuc VALUES ('1', '2401', 100.4, 0), ('1', '2401', 2500.5, 0),
                              ('2', '2401', 999.49, 0), ('3', '2401', 1234567.5, 0), ('4', '2401', 0.4, 0);

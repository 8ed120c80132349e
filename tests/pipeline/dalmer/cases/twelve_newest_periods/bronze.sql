-- Fourteen periods of one firm: the window keeps the twelve newest (2303-2402).
INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag, erkn_izlm_kod, unvan) VALUES
    ('1', '2301', 10, 1, NULL, 'Eski Ad A.Ş.'),
    ('1', '2302', 20, 1, 'EI9', NULL),
    ('1', '2303', 30, 1, NULL, NULL),
    ('1', '2304', 40, 1, NULL, NULL),
    ('1', '2305', 50, 1, NULL, NULL),
    ('1', '2306', 60, 1, NULL, NULL),
    ('1', '2307', 70, 1, NULL, NULL),
    ('1', '2308', 80, 1, NULL, NULL),
    ('1', '2309', 90, 1, NULL, NULL),
    ('1', '2310', 100, 1, NULL, NULL),
    ('1', '2311', 110, 1, NULL, NULL),
    ('1', '2312', 120, 1, NULL, NULL),
    ('1', '2401', 130, 1, NULL, NULL),
    ('1', '2402', 140, 1, NULL, NULL);
INSERT INTO brz_eus_hedef VALUES
    ('1', '2301'),
    ('1', '2302'),
    ('1', '2303'),
    ('1', '2304'),
    ('1', '2305'),
    ('1', '2306'),
    ('1', '2307'),
    ('1', '2308'),
    ('1', '2309'),
    ('1', '2310'),
    ('1', '2311'),
    ('1', '2312'),
    ('1', '2401'),
    ('1', '2402');
-- Periods of other sources do not move the window.
INSERT INTO brz_eus_hedef VALUES ('1', '2403');
INSERT INTO brz_rkd_kriter VALUES ('1', '2403', 5, 1);

INSERT INTO brz_kik_izleme (muta, donem, unvan, erkn_izlm_kod, kik_risk, ciss_flag) VALUES
    ('1', '2401', 'Eski Ünvan A.Ş.', '[''EI1'', ''EI4'']', 1, 0),
    ('1', '2402', 'Yeni Ünvan Gıda A.Ş.', NULL, 1, 0),
    ('2', '2401', 'Çelik Ltd. Şti.', NULL, 1, 0),
    ('2', '2402', NULL, 'EI2', 1, 0),
    -- a broken list is kept whole as one code
    ('3', '2402', '  ', '[''EI3''', 1, 0),
    ('4', '2402', 'Dört', '[]', 1, 0),
    -- blanks and repeats dropped, numbers by their text form
    ('5', '2402', 'Beş', '['' EI5 '', ''EI5'', 7]', 1, 0);
INSERT INTO brz_statik VALUES
    ('1', 34, 'İstanbul Avrupa', 1203, 'Şişli', 'T1', ' RG-17 ', 'Grup 17', 'Bölge Kredi Komitesi',
     'Ayşe Yılmaz', 'İşletme Sermayesi'),
    ('2', 34, 'İstanbul Avrupa', 1203, 'Şişli', 'T2', '', NULL, NULL, NULL, NULL),
    ('3', 34, 'İstanbul Avrupa', 1203, 'Sisli', 'T2', NULL, NULL, NULL, NULL, NULL),
    ('6', 6, 'Ankara', 2001, 'Çankaya', 'T1', 'RG-2', NULL, 'Genel Müdürlük', 'Mehmet Öz', 'Proje');
INSERT INTO brz_train_features VALUES ('1', '2402', 'KUR-TIC'), ('2', '2312', 'KOBI'), ('2', '2402', NULL);
